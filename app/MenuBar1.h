#pragma once
// The menu bar: "File" > "Manage", which brings the main window back after it was closed.

class QMenuBar;

class MenuBar1 {
public:
    /// Appends the "File" menu (object name "FileMenu") with "Manage" ("FileManage") to the bar;
    /// "Manage" runs App::_FileManage_Action, so it works from any bar that has it.
    static void Build(QMenuBar* bar);
    /// The application-wide bar that stays while no window is open (macOS); made on first use.
    static QMenuBar* Global();
};
