#include "ui/prefs/winPrefs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextOption>
#include <cstdint>
#include <limits>

#include "app/App.h"
#include "feeds/FeedList.h"
#include "ui/main/Window1.h"
#include "ui/main/WindowFonts.h"
#include "ui/prefs/UpDownArrows.h"

QPointer<winPrefs> winPrefs::instance_;

namespace {

std::int32_t IntervalFromText(const QString& text) { return LeadingNumber(text.toStdString()); }

}  // namespace

winPrefs* winPrefs::instance(bool create) {
    if (!instance_ && create) {
        instance_ = new winPrefs();
        instance_->Open();
        // Over the main window, near its top, rather than wherever the system puts a new window.
        if (Window1* main = Window1::instance(false)) {
            const QRect frame = main->frameGeometry();
            instance_->move(frame.x() + (frame.width() - instance_->width()) / 2, frame.y() + 80);
        }
        instance_->show();
    }
    return instance_;
}

winPrefs::winPrefs(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(424, 183);
    setFont(WindowFonts::Pixels(11));
    createControls();
}

void winPrefs::createControls() {
    efLibFilePath = new QPlainTextEdit(this);
    efLibFilePath->setObjectName(QStringLiteral("efLibFilePath"));
    efLibFilePath->setGeometry(20, 37, 349, 45);
    efLibFilePath->setReadOnly(true);
    efLibFilePath->setFont(WindowFonts::Pixels(12));
    // A path has no blanks to break at; let it wrap anywhere rather than scroll sideways.
    efLibFilePath->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    efLibFilePath->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    PushButton1 = new QPushButton(QString(), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setGeometry(381, 38, 23, 20);
    PushButton1->setFont(WindowFonts::Pixels(12));
    PushButton1->setAutoDefault(false);
    PushButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    PushButton1->setIconSize(QSize(14, 14));
    PushButton1->setToolTip(QStringLiteral("Choose the database file"));
    connect(PushButton1, &QPushButton::clicked, this, &winPrefs::PushButton1_Action);

    StaticText1 = new QLabel(QStringLiteral("Select Safari Syndication database:"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(20, 14, 327, 20);

    cbUpdate = new QCheckBox(QStringLiteral("Auto-Update"), this);
    cbUpdate->setObjectName(QStringLiteral("cbUpdate"));
    cbUpdate->setGeometry(20, 94, 100, 20);
    cbUpdate->setChecked(true);

    UpDownArrows1 = new UpDownArrows(this);
    UpDownArrows1->setObjectName(QStringLiteral("UpDownArrows1"));
    UpDownArrows1->setGeometry(233, 94, 9, 20);
    connect(UpDownArrows1, &UpDownArrows::Up, this, &winPrefs::UpDownArrows1_Up);
    connect(UpDownArrows1, &UpDownArrows::Down, this, &winPrefs::UpDownArrows1_Down);

    efInterval = new QLineEdit(QStringLiteral("10"), this);
    efInterval->setObjectName(QStringLiteral("efInterval"));
    efInterval->setGeometry(182, 94, 39, 20);
    efInterval->setReadOnly(true);
    efInterval->setFont(WindowFonts::Pixels(11));

    StaticText2 = new QLabel(QStringLiteral("Interval"), this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setGeometry(133, 94, 51, 20);

    pbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setGeometry(232, 143, 80, 20);
    pbCancel->setFont(WindowFonts::Pixels(11));
    pbCancel->setAutoDefault(false);
    connect(pbCancel, &QPushButton::clicked, this, &winPrefs::pbCancel_Action);

    pbSave = new QPushButton(QStringLiteral("Save"), this);
    pbSave->setObjectName(QStringLiteral("pbSave"));
    pbSave->setGeometry(324, 143, 80, 20);
    pbSave->setFont(WindowFonts::Pixels(11));
    pbSave->setAutoDefault(false);
    connect(pbSave, &QPushButton::clicked, this, &winPrefs::pbSave_Action);
}

void winPrefs::Open() {
    App& a = app();
    a.prefsVisible = true;
    a.GetPrefs();
    efLibFilePath->setPlainText(a.dbFileName);
    cbUpdate->setChecked(a.AutoRefresh);
    efInterval->setText(QString::number(a.UpdateInterval));
}

void winPrefs::PushButton1_Action() {
    App& a = app();
    const QString folder = QFileInfo(a.DefaultDatabasePath()).absolutePath();   // the Syndication folder
    a.seams.chooseFile(QStringLiteral("Select your Safari syndication database file"), folder, this,
                       [this](std::optional<QString> chosen) {
                           App& a = app();
                           // Takes effect at once: the next refresh reads this file, saved or not.
                           if (chosen) a.dbFileName = QFileInfo(*chosen).absoluteFilePath();
                           efLibFilePath->setPlainText(a.dbFileName);
                       });
}

void winPrefs::StepInterval(int by) {
    const std::int64_t next = static_cast<std::int64_t>(IntervalFromText(efInterval->text())) + by;
    if (next < std::numeric_limits<std::int32_t>::min() || next > std::numeric_limits<std::int32_t>::max()) return;
    efInterval->setText(QString::number(next));
}

void winPrefs::UpDownArrows1_Up() { StepInterval(+1); }
void winPrefs::UpDownArrows1_Down() { StepInterval(-1); }

void winPrefs::pbCancel_Action() {
    app().prefsVisible = false;
    close();
}

void winPrefs::pbSave_Action() {
    // The main window switches its mode at once, then the file is written. A file that could not be written is
    // said, and the window stays, so nothing seems saved that is not.
    const QString failed = app().ApplyPreferences(efLibFilePath->toPlainText(), cbUpdate->isChecked(),
                                                  IntervalFromText(efInterval->text()));
    if (!failed.isEmpty()) {
        app().seams.message(failed);
        return;
    }
    app().prefsVisible = false;
    close();
}

void winPrefs::closeEvent(QCloseEvent* event) {
    // However the window goes (Save, Cancel, its close button), the next "Preferences" opens it again.
    app().prefsVisible = false;
    if (instance_ == this) instance_ = nullptr;
    QWidget::closeEvent(event);
}
