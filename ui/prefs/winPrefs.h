#pragma once
// The preferences window: the database file, automatic refresh and its interval.

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class UpDownArrows;

class winPrefs : public QWidget {
    Q_OBJECT
public:
    /// The one preferences window. With create true, a missing one is built, opened (Open) and shown.
    static winPrefs* instance(bool create = true);

    // Controls, in creation order
    QPlainTextEdit* efLibFilePath = nullptr;
    QPushButton* PushButton1 = nullptr;
    QLabel* StaticText1 = nullptr;
    QCheckBox* cbUpdate = nullptr;
    UpDownArrows* UpDownArrows1 = nullptr;
    QLineEdit* efInterval = nullptr;
    QLabel* StaticText2 = nullptr;
    QPushButton* pbCancel = nullptr;
    QPushButton* pbSave = nullptr;

    // Handlers
    void PushButton1_Action();
    void UpDownArrows1_Up();
    void UpDownArrows1_Down();
    void pbCancel_Action();
    void pbSave_Action();
    void Open();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit winPrefs(QWidget* parent = nullptr);
    void createControls();
    void StepInterval(int by);

    static QPointer<winPrefs> instance_;
};
