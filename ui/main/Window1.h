#pragma once
// The main window: feed list, totals, detail pane, two rows of buttons, status line and clock.
// Handlers are named <control>_<event>; the Parts of the window live in several source files:
//   Window1.cpp         building the controls, Open, the list and totals, the clock
//   Window1Detail.cpp   the detail pane and the icon fetch
//   Window1Browser.cpp  the browser button and Timer2
//   Window1Actions.cpp  the five feed actions
//   Window1Cycle.cpp    Timer1, Update Now, the unread badge, Quit, Preferences

#include <QDateTime>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QVector>
#include <cstdint>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidget;
class QWidget;
class IconCanvas;
class IconDownloader;

class Window1 : public QMainWindow {
    Q_OBJECT
public:
    /// The one main window; created (and opened) first when there is none and create is true.
    static Window1* instance(bool create = true);
    /// Builds the window with its controls and shows it, without running Open: start-up runs
    /// App::Open in between. Returns the existing window when there is one.
    static Window1* Construct();
    /// The window still exists and has not been closed; handlers check it after every wait.
    static bool Alive(const QPointer<Window1>& window);
    ~Window1() override;

    // Fields
    std::int32_t selectedID = -1;   ///< a row index saved across a re-read; -1 = none
    QImage PercentageIcon;          ///< 128 x 128 canvas of the unread badge
    std::int32_t NumUnread = 0;
    QDateTime CurrentTime;

    // Controls, in creation order
    QTreeWidget* ListBox1 = nullptr;
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
    QLabel* stURL = nullptr;
    QLabel* stHomepage = nullptr;
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
    void Open();

    // Methods
    void GetDBInfo(bool allFeeds);
    QVector<std::int32_t> GetImageSize(const QImage& pic) const;   ///< [unused, width, height]
    void UpdateTime();
    void Refresh();            ///< the common refresh of the countdown and "Update Now"
    void DrawUnreadBadge();

    // The list as the handlers see it: selected row index (-1 = none), cell texts, row count.
    int ListIndex() const;
    void SetListIndex(int row);
    QString Cell(int row, int column) const;
    int ListCount() const;

    /// The 29 controls in creation order (the timers and the HTTP client included).
    QList<QObject*> Controls() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit Window1(QWidget* parent = nullptr);
    void createMenuBar();
    void createList();
    void createTotals();
    void createDetailPane();
    void createButtons();
    void createStatusLine();
    void createTimers();

    void addControl(QObject* control, const char* name);

    QList<QObject*> controls_;
    bool closed_ = false;
    static QPointer<Window1> instance_;
};
