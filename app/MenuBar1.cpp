#include "app/MenuBar1.h"

#include <QAction>
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
