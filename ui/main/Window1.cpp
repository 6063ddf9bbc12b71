// Building the main window, its opening sequence, the feed list with its totals, and the clock.
#include "ui/main/Window1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/App.h"
#include "app/MenuBar1.h"
#include "feeds/FeedList.h"
#include "platform/DockTile.h"
#include "platform/IconDownloader.h"
#include "ui/main/BusyIndicator.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/LinkText.h"
#include "ui/main/RowColour.h"

QPointer<Window1> Window1::instance_;

namespace {

constexpr int kContentWidth = 555;
constexpr int kContentHeight = 488;

// The list's paint hook: every visible cell of a row takes the colour its texts call for.
class RowColourDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QAbstractItemModel* model = index.model();
        const QColor colour = RowTextColour(model->index(index.row(), 2, index.parent()).data().toString(),
                                            model->index(index.row(), 4, index.parent()).data().toString());
        if (colour.isValid()) option->palette.setColor(QPalette::Text, colour);
    }
};

// A list box highlights the whole row, not only its columns: the strip right of the last visible column
// takes the row's selection colour too.
class FeedList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QTreeWidget::drawRow(painter, option, index);
        const int right = header()->length() - header()->offset();
        if (!selectionModel()->isRowSelected(index.row(), index.parent()) || right >= viewport()->width()) return;
        const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
        painter->fillRect(QRect(right, option.rect.top(), viewport()->width() - right, option.rect.height()),
                          option.palette.brush(group, QPalette::Highlight));
    }
};

QFont TextFont(int pixels, bool bold = false) {
    QFont f = QApplication::font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// The locale's long time without its time zone: hours, minutes and seconds only.
QString LongTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        out += c;
    }
    return out.simplified();
}

}  // namespace

Window1* Window1::instance(bool create) {
    if (instance_ && !instance_->closed_) return instance_;
    if (!create) return nullptr;
    Window1* w = Construct();
    w->Open();
    return w;
}

Window1* Window1::Construct() {
    if (instance_ && !instance_->closed_) return instance_;
    auto* w = new Window1();
    instance_ = w;
    w->show();
    return w;
}

bool Window1::Alive(const QPointer<Window1>& window) { return window && !window->closed_; }

Window1::Window1(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("BrindleX"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    createMenuBar();

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    content->setFixedSize(kContentWidth, kContentHeight);
    content->setFont(TextFont(11));
    setCentralWidget(content);
    layout()->setSizeConstraint(QLayout::SetFixedSize);   // no grow box: the window is as big as its content

    createList();
    createTotals();
    createDetailPane();
    createButtons();
    createStatusLine();
    createTimers();

    // The list, its totals, the detail pane, the buttons and the status line are built in bands, but the
    // controls go into the window in the order below, which is the order the handlers know them by.
    controls_ = {ListBox1,      StaticText1, StaticText2,  StaticText3,  stNumSources, stNumUnread,
                 stNumArticles, ProgressWheel1, TCPSocket1, Canvas2,     stTitle,      stURL,
                 stHomepage,    GroupBox1,   stHTTPDate,   Timer1,       stCounter,    bbMarkRead,
                 bbMarkUnread,  bbMarkAllRead, bbReset,    bbResetAll,   Timer2,       bbUpdate,
                 bbSafari,      bbShow,      bbPrefs,      BevelButton1, stTime};
    for (QObject* c : controls_)
        if (auto* widget = qobject_cast<QWidget*>(c)) widget->raise();
    // The group box only frames the pane; clicks go through to the links inside it.
    GroupBox1->setAttribute(Qt::WA_TransparentForMouseEvents);
}

Window1::~Window1() = default;

void Window1::addControl(QObject* control, const char* name) { control->setObjectName(QLatin1String(name)); }

QList<QObject*> Window1::Controls() const { return controls_; }

void Window1::createMenuBar() { MenuBar1::Build(menuBar()); }

QAction* Window1::FileMenu() const {
    QMenu* menu = menuBar()->findChild<QMenu*>(QStringLiteral("FileMenu"));
    return menu ? menu->menuAction() : nullptr;
}

QAction* Window1::FileManage() const { return menuBar()->findChild<QAction*>(QStringLiteral("FileManage")); }

void Window1::createList() {
    QWidget* content = centralWidget();
    ListBox1 = new FeedList(content);
    addControl(ListBox1, "ListBox1");
    ListBox1->setGeometry(14, 48, 521, 206);
    ListBox1->setColumnCount(6);
    ListBox1->setHeaderLabels(QStringList(6, QString()));
    ListBox1->setRootIsDecorated(false);
    ListBox1->setItemsExpandable(false);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setDragEnabled(false);
    ListBox1->setDragDropMode(QAbstractItemView::NoDragDrop);
    ListBox1->setSortingEnabled(false);
    ListBox1->setAllColumnsShowFocus(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBox1->setItemDelegate(new RowColourDelegate(ListBox1));
    QHeaderView* header = ListBox1->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[6] = {300, 100, 100, 0, 0, 0};
    for (int c = 0; c < 6; ++c) ListBox1->setColumnWidth(c, widths[c]);
    // Width 0 is not enough on its own: a hidden section can't be seen, nor dragged open.
    for (int c = 3; c < 6; ++c) ListBox1->setColumnHidden(c, true);
    connect(ListBox1, &QTreeWidget::itemSelectionChanged, this, &Window1::ListBox1_Change);
}

void Window1::createTotals() {
    QWidget* content = centralWidget();
    auto label = [content](const char* name, const QString& text, const QRect& r) {
        auto* l = new QLabel(text, content);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(r);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    StaticText1 = label("StaticText1", QStringLiteral("Number of Sources:"), {14, 259, 111, 20});
    StaticText2 = label("StaticText2", QStringLiteral("Total Articles:"), {232, 259, 79, 20});
    StaticText3 = label("StaticText3", QStringLiteral("Total Unread:"), {408, 259, 75, 20});
    stNumSources = label("stNumSources", QStringLiteral("99999"), {129, 259, 39, 20});
    stNumUnread = label("stNumUnread", QStringLiteral("99999"), {495, 259, 39, 20});
    stNumArticles = label("stNumArticles", QStringLiteral("99999"), {313, 259, 39, 20});
}

void Window1::createDetailPane() {
    QWidget* content = centralWidget();
    ProgressWheel1 = new BusyIndicator(content);
    addControl(ProgressWheel1, "ProgressWheel1");
    ProgressWheel1->setGeometry(329, 464, 16, 16);

    TCPSocket1 = new IconDownloader(this);
    addControl(TCPSocket1, "TCPSocket1");
    connect(TCPSocket1, &IconDownloader::DownloadComplete, this, &Window1::TCPSocket1_DownloadComplete);

    Canvas2 = new IconCanvas(content);
    addControl(Canvas2, "Canvas2");
    Canvas2->setGeometry(397, 296, 122, 120);

    stTitle = new QLabel(QStringLiteral("stTitle"), content);
    addControl(stTitle, "stTitle");
    stTitle->setGeometry(20, 296, 340, 20);
    stTitle->setFont(TextFont(11, true));
    stTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto link = [this, content](const char* name, const QString& text, const QRect& r) {
        auto* l = new LinkText(text, content);
        addControl(l, name);
        l->setGeometry(r);
        QFont f = TextFont(11);
        f.setUnderline(true);
        l->setFont(f);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        l->setPalette(p);
        return l;
    };
    auto* url = link("stURL", QStringLiteral("stURl"), {20, 318, 343, 40});
    auto* home = link("stHomepage", QStringLiteral("stHomepage"), {20, 362, 343, 40});
    stURL = url;
    stHomepage = home;
    connect(url, &LinkText::pressed, this, &Window1::stURL_MouseDown);
    connect(home, &LinkText::pressed, this, &Window1::stHomepage_MouseDown);

    GroupBox1 = new QGroupBox(content);
    addControl(GroupBox1, "GroupBox1");
    GroupBox1->setGeometry(14, 284, 520, 144);

    stHTTPDate = new QLabel(QStringLiteral("stHTTPDate"), content);
    addControl(stHTTPDate, "stHTTPDate");
    stHTTPDate->setGeometry(20, 396, 238, 20);
    stHTTPDate->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void Window1::createButtons() {
    QWidget* content = centralWidget();
    auto bevel = [this, content](const char* name, const QString& caption, const QString& tip, int x, int y,
                                 void (Window1::*handler)()) {
        auto* b = new QPushButton(caption, content);
        addControl(b, name);
        b->setGeometry(x, y, 100, 22);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        return b;
    };
    bbMarkRead = bevel("bbMarkRead", QStringLiteral("Mark Read"), QStringLiteral("Mark selected feed read"), 14, 14,
                       &Window1::bbMarkRead_Action);
    bbMarkUnread = bevel("bbMarkUnread", QStringLiteral("Mark Unread"), QStringLiteral("Mark selected feed unread"),
                         119, 14, &Window1::bbMarkUnread_Action);
    bbMarkAllRead = bevel("bbMarkAllRead", QStringLiteral("Mark All Read"), QStringLiteral("Mark all feeds read"),
                          224, 14, &Window1::bbMarkAllRead_Action);
    bbReset = bevel("bbReset", QStringLiteral("Reset"), QStringLiteral("Reset selected feed"), 329, 14,
                    &Window1::bbReset_Action);
    bbResetAll = bevel("bbResetAll", QStringLiteral("Reset All"), QStringLiteral("Reset all feeds"), 434, 14,
                       &Window1::bbResetAll_Action);
    bbUpdate = bevel("bbUpdate", QStringLiteral("Update Now"), QStringLiteral("Update feeds now"), 119, 438,
                     &Window1::bbUpdate_Action);
    bbSafari = bevel("bbSafari", QStringLiteral("Start Safari"), QStringLiteral("Sart or stop Safari"), 14, 438,
                     &Window1::bbSafari_Action);
    bbShow = bevel("bbShow", QStringLiteral("Show All"), QStringLiteral("Show all feeds"), 224, 438,
                   &Window1::bbShow_Action);
    bbPrefs = bevel("bbPrefs", QStringLiteral("Preferences"), QStringLiteral("Set application preferences"), 329,
                    438, &Window1::bbPrefs_Action);
    BevelButton1 = bevel("BevelButton1", QStringLiteral("Quit"), QStringLiteral("Quit BrindleX"), 434, 438,
                         &Window1::BevelButton1_Action);
}

void Window1::createStatusLine() {
    QWidget* content = centralWidget();
    stCounter = new QLabel(QStringLiteral("Ready.  Click Update to check."), content);
    addControl(stCounter, "stCounter");
    stCounter->setGeometry(14, 464, 310, 18);
    stCounter->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    stTime = new QLabel(QString(), content);
    addControl(stTime, "stTime");
    stTime->setGeometry(357, 464, 178, 18);
    stTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Window1::createTimers() {
    Timer1 = new QTimer(this);
    addControl(Timer1, "Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Window1::Timer1_Action);

    Timer2 = new QTimer(this);
    addControl(Timer2, "Timer2");
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &Window1::Timer2_Action);
}

void Window1::Open() {
    PercentageIcon = QImage(128, 128, QImage::Format_ARGB32_Premultiplied);
    PercentageIcon.fill(Qt::transparent);
    ListBox1->setHeaderLabels({QStringLiteral("Source Feed"), QStringLiteral("Article Count"),
                               QStringLiteral("Unread Count"), QString(), QString(), QString()});
    app().showall = false;
    QPointer<Window1> self(this);
    GetDBInfo(app().showall);
    if (!Alive(self)) return;   // the message box of a failed open runs a nested event loop

    Timer1->setInterval(1000);
    Timer2->setInterval(1000);
    if (app().AutoRefresh) {
        Timer1->start();
        Timer2->stop();
        stCounter->setText(QStringLiteral("Next check in %1 seconds...").arg(app().UpdateInterval));
    } else {
        Timer1->stop();
        Timer2->start();
        stCounter->setText(QStringLiteral("Ready.  Click Update to check."));
    }
    ProgressWheel1->hide();
}

void Window1::closeEvent(QCloseEvent* event) {
    // Quit with the last window only where nothing could bring this one back.
    qApp->setQuitOnLastWindowClosed(!app().dock().CanBringWindowBack());
    closed_ = true;
    Timer1->stop();
    Timer2->stop();
    TCPSocket1->Cancel();
    QMainWindow::closeEvent(event);
}

void Window1::GetDBInfo(bool allFeeds) {
    App& a = app();
    a.db = std::make_unique<SqlConnection>(std::filesystem::path(QFile::encodeName(a.dbFileName).toStdString()));
    // SQLite takes a zero-byte file for an empty database; for the user it is no feed database at all.
    const QFileInfo file(a.dbFileName);
    const bool open = !(file.isFile() && file.size() == 0) && a.db->Connect();
    if (!open) {
        QPointer<Window1> self(this);
        a.seams.beep();
        a.seams.message(QStringLiteral("The database couldn't be opened."));
        if (!self) return;
    }
    ListBox1->clear();
    if (!open) return;

    const FeedListing listing = ReadFeedList(*a.db, allFeeds);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(listing.rows.size()));
    for (const auto& row : listing.rows) {
        auto* item = new QTreeWidgetItem();
        for (int c = 0; c < 6; ++c) item->setText(c, QString::fromStdString(row[c]));
        items << item;
    }
    ListBox1->addTopLevelItems(items);
    stNumSources->setText(QString::fromStdString(listing.numSources));
    stNumArticles->setText(QString::fromStdString(listing.numArticles));
    stNumUnread->setText(QString::fromStdString(listing.numUnread));
    NumUnread = LeadingNumber(listing.numUnread);
    SetListIndex(0);
}

void Window1::bbShow_Action() {
    if (app().showall) {
        bbShow->setText(QStringLiteral("Show All"));
        bbShow->setToolTip(QStringLiteral("Show all feeds"));
        app().showall = false;
    } else {
        bbShow->setText(QStringLiteral("Show Subscribed"));
        bbShow->setToolTip(QStringLiteral("Show only subscribed feeds"));
        app().showall = true;
    }
    GetDBInfo(app().showall);
}

void Window1::UpdateTime() {
    CurrentTime = app().seams.now();
    const QLocale locale;
    stTime->setText(locale.toString(CurrentTime.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                    locale.toString(CurrentTime.time(), LongTimeFormat(locale)));
}

int Window1::ListIndex() const {
    const QList<QTreeWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->indexOfTopLevelItem(selected.first());
}

void Window1::SetListIndex(int row) {
    QTreeWidgetItem* item = (row >= 0 && row < ListBox1->topLevelItemCount()) ? ListBox1->topLevelItem(row) : nullptr;
    if (!item) {
        ListBox1->clearSelection();
        return;
    }
    if (item->isSelected()) return;
    ListBox1->setCurrentItem(item);
    ListBox1->scrollToItem(item);
}

QString Window1::Cell(int row, int column) const {
    const QTreeWidgetItem* item = ListBox1->topLevelItem(row);
    return item ? item->text(column) : QString();
}

int Window1::ListCount() const { return ListBox1->topLevelItemCount(); }
