#pragma once
// The menu bar: "File" with "Manage" (brings the main window back after it was closed), "Export Feeds as
// OPML…" and "Preferences…" (in the application menu on macOS).

class QMenuBar;

class MenuBar1 {
public:
    /// Appends the "File" menu (object name "FileMenu") with "Manage" ("FileManage"), "FileExport" and
    /// "FilePreferences" to the bar; they go through the App, so they work from any bar that has them.
    static void Build(QMenuBar* bar);
    /// The application-wide bar that stays while no window is open (macOS); made on first use.
    static QMenuBar* Global();
};
