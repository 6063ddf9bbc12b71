#include "app/MenuBar1.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/App.h"

void MenuBar1::Build(QMenuBar* bar) {
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    file->menuAction()->setObjectName(QStringLiteral("FileMenu"));
    QAction* manage = file->addAction(QStringLiteral("Manage"));
    manage->setObjectName(QStringLiteral("FileManage"));
    QObject::connect(manage, &QAction::triggered, manage, [] { app()._FileManage_Action(); });

    QAction* exportFeeds = file->addAction(QStringLiteral("Export Feeds as OPML\u2026"));
    exportFeeds->setObjectName(QStringLiteral("FileExport"));
    QObject::connect(exportFeeds, &QAction::triggered, exportFeeds, [] { app().ExportFeeds(); });

    // The selected feed's articles: the window whose list this bar belongs to enables it and answers it; a bar
    // without a list (macOS's when no window is in front) keeps it disabled.
    QAction* exportArticles = file->addAction(QStringLiteral("Export Articles\u2026"));
    exportArticles->setObjectName(QStringLiteral("FileExportArticles"));
    exportArticles->setEnabled(false);

    // On macOS the role moves it to the application menu, with the platform's shortcut.
    QAction* preferences = file->addAction(QStringLiteral("Preferences\u2026"));
    preferences->setObjectName(QStringLiteral("FilePreferences"));
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setShortcut(QKeySequence::Preferences);
    QObject::connect(preferences, &QAction::triggered, preferences, [] { emit app().preferencesRequested(); });
}

QMenuBar* MenuBar1::Global() {
    // A bar without a parent is the one macOS shows when no window is in front.
    static QMenuBar* bar = [] {
        auto* b = new QMenuBar(nullptr);
        Build(b);
        return b;
    }();
    return bar;
}
