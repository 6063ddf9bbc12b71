#pragma once
// The menu bar: "File" with "Manage" (brings the main window back after it was closed), "Export Feeds as
// OPML…", "Export Articles…" (the selected feed's) and "Preferences…" (in the application menu on macOS).

class QMenuBar;

class MenuBar1 {
public:
    /// Appends the "File" menu (object name "FileMenu") with "Manage" ("FileManage"), "FileExport",
    /// "FileExportArticles" and "FilePreferences" to the bar. All but "FileExportArticles" go through the App,
    /// so they work from any bar that has them; that one starts disabled, for the bar's window to follow its list.
    static void Build(QMenuBar* bar);
    /// The application-wide bar that stays while no window is open (macOS); made on first use.
    static QMenuBar* Global();
};
