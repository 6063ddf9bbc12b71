#include "app/Seams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSet>
#include <QTimer>

namespace {

// A dialog parented to the context goes with it; its answer is given once, whichever way it closes.
void AskForFile(QFileDialog* dialog, QObject* context, Seams::Answer answer) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto given = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, context, [answer, given](const QString& file) {
        if (*given) return;
        *given = true;
        answer(file.isEmpty() ? std::nullopt : std::optional<QString>(file));
    });
    QObject::connect(dialog, &QDialog::rejected, context, [answer, given] {
        if (*given) return;
        *given = true;
        answer(std::nullopt);
    });
    dialog->open();
}

QWidget* DialogParent(QObject* context) {
    if (auto* widget = qobject_cast<QWidget*>(context)) return widget->window();
    return QApplication::activeWindow();
}

}  // namespace

Seams MakeRealSeams() {
    Seams s;
    s.now = [] { return QDateTime::currentDateTime(); };
    s.after = [](int ms, QObject* context, std::function<void()> step) {
        QTimer::singleShot(ms, context, std::move(step));
    };
    s.message = [](const QString& text) {
        // A refresh that keeps failing (a database the browser holds) says so once, not once per attempt.
        static QSet<QString> showing;
        if (showing.contains(text)) return;
        showing.insert(text);
        auto* box = new QMessageBox(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                                    QApplication::activeWindow());
        box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
        box->setTextFormat(Qt::PlainText);   // the engine's words and file names are not markup
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::ApplicationModal);
        QObject::connect(box, &QObject::destroyed, [text] { showing.remove(text); });
        box->show();
    };
    s.beep = [] { QApplication::beep(); };
    s.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    s.chooseFile = [](const QString& title, const QString& initialFolder, QObject* context, Seams::Answer answer) {
        auto* dialog = new QFileDialog(DialogParent(context), title, initialFolder);
        dialog->setFileMode(QFileDialog::ExistingFile);
        AskForFile(dialog, context, std::move(answer));
    };
    s.chooseSaveFile = [](const QString& title, const QString& suggestedFile, QObject* context, Seams::Answer answer) {
        auto* dialog = new QFileDialog(DialogParent(context), title);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        const QFileInfo suggested(suggestedFile);
        dialog->setDirectory(suggested.absolutePath());
        dialog->selectFile(suggested.fileName());
        if (!suggested.suffix().isEmpty()) {   // offered for files of its kind, and given its ending when typed without
            dialog->setDefaultSuffix(suggested.suffix());
            dialog->setNameFilters({QStringLiteral("%1 files (*.%2)").arg(suggested.suffix().toUpper(), suggested.suffix()),
                                    QStringLiteral("All files (*)")});
        }
        AskForFile(dialog, context, std::move(answer));
    };
    return s;
}
