// Building the main window, its opening sequence, the feed list with its totals, and the thin entry
// points that hand each event to the part that does the work.
#include "ui/main/Window1.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "app/App.h"
#include "app/FeedDatabase.h"
#include "app/MenuBar1.h"
#include "feeds/FeedList.h"
#include "platform/DockTile.h"
#include "platform/IconDownloader.h"
#include "ui/main/BusyIndicator.h"
#include "ui/main/DetailPane.h"
#include "ui/main/FeedListModel.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/LinkText.h"
#include "ui/main/UnreadBadge.h"
#include "ui/main/UpdateCycle.h"
#include "ui/main/WindowFonts.h"
#include "ui/prefs/winPrefs.h"

QPointer<Window1> Window1::instance_;

namespace {

constexpr int kContentWidth = 555;
constexpr int kContentHeight = 488;

// A list box highlights the whole row, not only its columns: the strip right of the last visible column
// takes the row's selection colour too, in the cells' colour group (the window's, not the list's focus).
class FeedListView : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QTreeView::drawRow(painter, option, index);
        const int right = header()->length() - header()->offset();
        if (!selectionModel()->isRowSelected(index.row(), index.parent()) || right >= viewport()->width()) return;
        const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        painter->fillRect(QRect(right, option.rect.top(), viewport()->width() - right, option.rect.height()),
                          option.palette.brush(group, QPalette::Highlight));
    }
};

}  // namespace

Window1* Window1::instance(bool create) {
    if (instance_) return instance_;
    if (!create) return nullptr;
    Window1* w = Construct();
    w->Open();
    return w;
}

Window1* Window1::Construct() {
    if (instance_) return instance_;
    auto* w = new Window1();
    instance_ = w;
    w->show();
    return w;
}

void Window1::FollowApp(App& a) {
    auto bringForward = [](QWidget* w) {
        w->showNormal();
        w->raise();
        w->activateWindow();
    };
    QObject::connect(&a, &App::manageRequested, &a, [bringForward] { bringForward(Window1::instance()); });
    // "Preferences…" opens the window as the button does, and brings it forward when it is open already.
    QObject::connect(&a, &App::preferencesRequested, &a, [bringForward] {
        if (!app().prefsVisible || !winPrefs::instance(false)) {
            app().prefsVisible = false;
            winPrefs::instance();
            app().prefsVisible = true;
        }
        bringForward(winPrefs::instance());
    });
}

Window1::Window1(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("BrindleX"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    createMenuBar();

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    content->setFixedSize(kContentWidth, kContentHeight);
    content->setFont(WindowFonts::Pixels(11));
    setCentralWidget(content);
    layout()->setSizeConstraint(QLayout::SetFixedSize);   // no grow box: the window is as big as its content

    createList();
    createTotals();
    ProgressWheel1 = new BusyIndicator(content);
    ProgressWheel1->setObjectName(QStringLiteral("ProgressWheel1"));
    ProgressWheel1->setGeometry(329, 464, 16, 16);
    detail_ = new DetailPane(content);
    TCPSocket1 = detail_->TCPSocket1;
    Canvas2 = detail_->Canvas2;
    stTitle = detail_->stTitle;
    stURL = detail_->stURL;
    stHomepage = detail_->stHomepage;
    GroupBox1 = detail_->GroupBox1;
    stHTTPDate = detail_->stHTTPDate;
    connect(detail_, &DetailPane::urlPressed, this, [this] { stURL_MouseDown(0, 0); });
    connect(detail_, &DetailPane::homePagePressed, this, [this] { stHomepage_MouseDown(0, 0); });
    createButtons();
    createStatusLine();
    cycle_ = new UpdateCycle(*this);
    Timer1 = cycle_->Timer1;
    Timer2 = cycle_->Timer2;

    // The parts are built by band, but the controls stack in the order below, the order handlers know them by.
    QObject* const controls[] = {ListBox1,      StaticText1, StaticText2,  StaticText3,  stNumSources, stNumUnread,
                 stNumArticles, ProgressWheel1, TCPSocket1, Canvas2,     stTitle,      stURL,
                 stHomepage,    GroupBox1,   stHTTPDate,   Timer1,       stCounter,    bbMarkRead,
                 bbMarkUnread,  bbMarkAllRead, bbReset,    bbResetAll,   Timer2,       bbUpdate,
                 bbSafari,      bbShow,      bbPrefs,      BevelButton1, stTime};
    for (QObject* c : controls)
        if (auto* widget = qobject_cast<QWidget*>(c)) widget->raise();

    App& a = app();
    connect(&a, &App::browserStateChanged, this, [this](bool running) {
        bbSafari->setText(SafariCaption(running));
    });
    connect(&a, &App::preferencesChanged, this, [this] { cycle_->SetMode(app().AutoRefresh); });
    connect(&a, &App::exclusiveChanged, this, &Window1::FollowExclusive);
    FollowExclusive(a.Exclusive());
}

Window1::~Window1() {
    // Its sequences go with its children, after this: what they let go of must not reach a half-gone window.
    QObject::disconnect(&app(), nullptr, this, nullptr);
}


void Window1::createMenuBar() {
    MenuBar1::Build(menuBar());
    connect(FileExportArticles(), &QAction::triggered, this, &Window1::FileExportArticles_Action);
}

QAction* Window1::FileMenu() const {
    QMenu* menu = menuBar()->findChild<QMenu*>(QStringLiteral("FileMenu"));
    return menu ? menu->menuAction() : nullptr;
}

QAction* Window1::FileManage() const { return menuBar()->findChild<QAction*>(QStringLiteral("FileManage")); }

QAction* Window1::FileExportArticles() const {
    return menuBar()->findChild<QAction*>(QStringLiteral("FileExportArticles"));
}

void Window1::createList() {
    model_ = new FeedListModel(this);
    ListBox1 = new FeedListView(centralWidget());
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(14, 48, 521, 206);
    ListBox1->setModel(model_);
    ListBox1->setRootIsDecorated(false);
    ListBox1->setItemsExpandable(false);
    ListBox1->setUniformRowHeights(true);   // thousands of feeds lay out at once
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setDragDropMode(QAbstractItemView::NoDragDrop);
    ListBox1->setAllColumnsShowFocus(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
    connect(ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Window1::ListBox1_Change);
    // A reset model drops its selection without a word: the menu item follows that too.
    connect(ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Window1::FollowSelection);
    connect(model_, &QAbstractItemModel::modelReset, this, &Window1::FollowSelection);
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

void Window1::createButtons() {
    QWidget* content = centralWidget();
    auto bevel = [this, content](const char* name, const QString& caption, const QString& tip, int x, int y,
                                 void (Window1::*handler)()) {
        auto* b = new QPushButton(caption, content);
        b->setObjectName(QLatin1String(name));
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
    stCounter->setObjectName(QStringLiteral("stCounter"));
    stCounter->setGeometry(14, 464, 310, 18);
    stCounter->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    stTime = new QLabel(QString(), content);
    stTime->setObjectName(QStringLiteral("stTime"));
    stTime->setGeometry(357, 464, 178, 18);
    stTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Window1::Open() {
    PercentageIcon = UnreadBadge::NewPicture();
    model_->SetHeadings({QStringLiteral("Source Feed"), QStringLiteral("Article Count"),
                         QStringLiteral("Unread Count")});
    app().showall = false;
    GetDBInfo(app().showall);
    cycle_->SetMode(app().AutoRefresh);
    ProgressWheel1->hide();
}

void Window1::closeEvent(QCloseEvent* event) {
    // Quit with the last window only where nothing could bring this one back.
    qApp->setQuitOnLastWindowClosed(!app().dock().CanBringWindowBack());
    Timer1->stop();
    Timer2->stop();
    detail_->ClearIcon();
    instance_.clear();   // the next "Manage" builds a new window, even before this one is deleted
    QMainWindow::closeEvent(event);
}

void Window1::GetDBInfo(bool allFeeds, std::function<void()> then) {
    App& a = app();
    a.db->Refresh(this, a.dbFileName, allFeeds, [this, allFeeds, then = std::move(then)](const RefreshResult& r) {
        // The file was changed while this was read: the list of the file chosen now is what is wanted.
        if (QByteArray::fromStdString(r.path) != QFile::encodeName(app().dbFileName)) {
            GetDBInfo(allFeeds, then);
            return;
        }
        if (r.id != applied_) {   // callers merged into one refresh share one result, applied once
            applied_ = r.id;
            Apply(r);
        }
        if (then) then();
    });
}

void Window1::Apply(const RefreshResult& r) {
    if (!r.opened) {
        app().seams.beep();
        app().seams.message(QStringLiteral("The database couldn't be opened."));
    }
    model_->SetRows(r.listing.rows);   // empty when the database could not be opened
    if (!r.opened) return;
    stNumSources->setText(QString::fromStdString(r.listing.numSources));
    stNumArticles->setText(QString::fromStdString(r.listing.numArticles));
    stNumUnread->setText(QString::fromStdString(r.listing.numUnread));
    NumUnread = LeadingNumber(r.listing.numUnread);
    SetListIndex(0);
}

QString Window1::SafariCaption(bool running) {
    return running ? QStringLiteral("Stop Safari") : QStringLiteral("Start Safari");
}

void Window1::FollowSelection() { FileExportArticles()->setEnabled(ListIndex() >= 0); }

void Window1::FollowExclusive(bool exclusive) {
    for (QPushButton* b : {bbMarkRead, bbMarkUnread, bbMarkAllRead, bbReset, bbResetAll})
        b->setEnabled(!exclusive);
    bbSafari->setEnabled(!exclusive && !safariBusy_);
}

int Window1::ListIndex() const {
    const QModelIndexList rows = ListBox1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Window1::SetListIndex(int row) {
    if (row < 0 || row >= ListCount()) {
        ListBox1->clearSelection();
        return;
    }
    if (row == ListIndex()) return;
    const QModelIndex index = model_->index(row, 0);
    ListBox1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    ListBox1->scrollTo(index);
}

QString Window1::Cell(int row, int column) const { return model_->Cell(row, column); }

int Window1::ListCount() const { return model_->rowCount(); }

// ---- thin entry points ----

void Window1::ListBox1_Change() {
    const int row = ListIndex();
    if (row < 0) return;
    const QString key = Cell(row, FeedListModel::Key);
    const QString iconText = Cell(row, FeedListModel::IconUrl);
    detail_->ClearIcon();   // the previous feed's icon must not land in this feed's box
    app().db->Run<feed>(
        this,
        [id = key.toStdString()](SqlConnection& db) {
            feed record;
            record.ID = id;
            record.Load(db);
            record.rs.reset();   // the cursor belongs to the worker's connection
            return record;
        },
        [this, key, iconText](feed record) {
            // Selected again meanwhile: the newer selection's own load is on its way.
            if (ListIndex() < 0 || Cell(ListIndex(), FeedListModel::Key) != key) return;
            detail_->Show(record);
            detail_->FetchIcon(iconText, QString::fromStdString(record.HomePage));
        });
}

void Window1::FileExportArticles_Action() {
    const int row = ListIndex();
    if (row < 0) return;
    app().ExportArticles(Cell(row, FeedListModel::Key), Cell(row, FeedListModel::Title));
}

void Window1::TCPSocket1_DownloadComplete(const QString&, int httpStatus, const QString& file) {
    detail_->IconArrived(httpStatus, file);
}

void Window1::Canvas2_Paint() { Canvas2->update(); }

bool Window1::stURL_MouseDown(int, int) {
    detail_->OpenLink(stURL->text());
    return false;
}

bool Window1::stHomepage_MouseDown(int, int) {
    detail_->OpenLink(stHomepage->text());
    return false;
}

QVector<std::int32_t> Window1::GetImageSize(const QImage& pic) const { return DetailPane::GetImageSize(pic); }

void Window1::Timer1_Action() { cycle_->Tick(); }
void Window1::Timer2_Action() { cycle_->Watch(); }
void Window1::bbUpdate_Action() { cycle_->UpdateNow(); }
void Window1::UpdateTime() { cycle_->UpdateTime(); }

void Window1::bbShow_Action() {
    App& a = app();
    a.showall = !a.showall;
    // The caption names what the next click shows.
    bbShow->setText(a.showall ? QStringLiteral("Show Subscribed") : QStringLiteral("Show All"));
    bbShow->setToolTip(a.showall ? QStringLiteral("Show only subscribed feeds") : QStringLiteral("Show all feeds"));
    GetDBInfo(a.showall);
}

void Window1::bbPrefs_Action() {
    App& a = app();
    if (!a.prefsVisible) {
        winPrefs::instance();   // builds, opens and shows it
        a.prefsVisible = true;
    } else {
        if (winPrefs* p = winPrefs::instance(false)) p->close();
        a.prefsVisible = false;
    }
}

void Window1::BevelButton1_Action() { app().RequestQuit(); }
