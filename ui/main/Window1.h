#pragma once
// The main window: feed list, totals, detail pane, two rows of buttons, status line and clock.
// Handlers are named <control>_<event>, after the control and the event, and are thin: the work is done by
//   FeedListModel   the rows, their roles and colours          DetailPane    texts, icon fetch, links
//   UpdateCycle     both timers, countdown, refresh, badge    App::db       every statement, off this thread
// Window1Actions.cpp holds the five feed actions and the browser button, which run as timed sequences.

#include <QDateTime>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTreeView>
#include <QVector>
#include <cstdint>
#include <functional>

class App;
class QAction;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class DetailPane;
class FeedListModel;
class IconCanvas;
class IconDownloader;
class LinkText;
class UpdateCycle;
struct RefreshResult;

class Window1 : public QMainWindow {
    Q_OBJECT
public:
    /// The one main window; created (and opened) first when there is none and create is true.
    static Window1* instance(bool create = true);
    /// Builds the window with its controls and shows it, without running Open: start-up runs
    /// App::Open in between. Returns the existing window when there is one.
    static Window1* Construct();
    /// Makes the windows follow the application: "Manage" shows the main window, and so on.
    static void FollowApp(App& app);
    ~Window1() override;

    // Fields
    std::int32_t selectedID = -1;   ///< a row index saved across a re-read; -1 = none
    QImage PercentageIcon;          ///< 128 x 128 canvas of the unread badge
    std::int32_t NumUnread = 0;
    QDateTime CurrentTime;

    // Controls, in creation order
    QTreeView* ListBox1 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLabel* StaticText3 = nullptr;
    QLabel* stNumSources = nullptr;
    QLabel* stNumUnread = nullptr;
    QLabel* stNumArticles = nullptr;
    QWidget* ProgressWheel1 = nullptr;
    IconDownloader* TCPSocket1 = nullptr;
    IconCanvas* Canvas2 = nullptr;
    QLabel* stTitle = nullptr;
    LinkText* stURL = nullptr;
    LinkText* stHomepage = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* stHTTPDate = nullptr;
    QTimer* Timer1 = nullptr;
    QLabel* stCounter = nullptr;
    QPushButton* bbMarkRead = nullptr;
    QPushButton* bbMarkUnread = nullptr;
    QPushButton* bbMarkAllRead = nullptr;
    QPushButton* bbReset = nullptr;
    QPushButton* bbResetAll = nullptr;
    QTimer* Timer2 = nullptr;
    QPushButton* bbUpdate = nullptr;
    QPushButton* bbSafari = nullptr;
    QPushButton* bbShow = nullptr;
    QPushButton* bbPrefs = nullptr;
    QPushButton* BevelButton1 = nullptr;
    QLabel* stTime = nullptr;

    // Handlers
    void ListBox1_Change();
    void TCPSocket1_DownloadComplete(const QString& url, int httpStatus, const QString& file);
    void Canvas2_Paint();
    bool stURL_MouseDown(int x, int y);
    bool stHomepage_MouseDown(int x, int y);
    void Timer1_Action();
    void bbMarkRead_Action();
    void bbMarkUnread_Action();
    void bbMarkAllRead_Action();
    void bbReset_Action();
    void bbResetAll_Action();
    void Timer2_Action();
    void bbUpdate_Action();
    void bbSafari_Action();
    void bbShow_Action();
    void bbPrefs_Action();
    void BevelButton1_Action();
    QAction* FileMenu() const;
    QAction* FileManage() const;
    QAction* FileExportArticles() const;
    void FileExportArticles_Action();
    void Open();

    // Methods
    /// Re-reads the list and totals on the worker; when the result is in, fills them in one step,
    /// selects row 0 and runs then (also when the database could not be opened).
    void GetDBInfo(bool allFeeds, std::function<void()> then = {});
    QVector<std::int32_t> GetImageSize(const QImage& pic) const;   ///< [unused, width, height]
    void UpdateTime();

    // The list as the handlers see it: selected row index (-1 = none), cell texts, row count.
    int ListIndex() const;
    void SetListIndex(int row);
    QString Cell(int row, int column) const;
    int ListCount() const;

    FeedListModel& List() const { return *model_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit Window1(QWidget* parent = nullptr);
    void createMenuBar();
    void createList();
    void createTotals();
    void createButtons();
    void createStatusLine();
    void Apply(const RefreshResult& result);
    /// "Export Articles…" is enabled while a feed is selected.
    void FollowSelection();
    /// The buttons that change the database or the browser do nothing while a reset is under way.
    void FollowExclusive(bool exclusive);
    /// What the browser button offers, for the browser's state.
    static QString SafariCaption(bool running);

    FeedListModel* model_ = nullptr;
    DetailPane* detail_ = nullptr;
    UpdateCycle* cycle_ = nullptr;
    std::uint64_t applied_ = 0;     ///< the last refresh whose result is on screen
    bool safariBusy_ = false;       ///< the browser button's own sequence is under way
    static QPointer<Window1> instance_;
};
