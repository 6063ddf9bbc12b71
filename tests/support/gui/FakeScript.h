#pragma once
// A stand-in for the browser-control script: a real sh script in a temporary folder that logs every
// command and prints the reply the test chooses (or hangs). app().script() runs it from now on; the next
// GuiTest puts back the path and time-out, and once this is gone the script is missing (reply empty).
#include <QStringList>
#include <QTemporaryDir>

#include "app/App.h"
#include "app/BrowserControl.h"
#include "tests/support/gui/FileBytes.h"

class FakeScript {
public:
    explicit FakeScript(const QString& reply = QStringLiteral("false")) {
        // exec makes the sleeping process the script itself, so the runner's kill ends it.
        Write("browser-control", "#!/bin/sh\nd='" + dir_.path().toUtf8() + "'\n"
              "printf '%s\\n' \"$1\" >> \"$d/commands.log\"\n"
              "if [ -f \"$d/hang\" ]; then exec sleep 60; fi\ncat \"$d/reply\" 2>/dev/null\n");
        QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetReply(reply);
        app().browser().Runner().SetScriptPath(Path());
    }

    void SetReply(const QString& reply) { Write("reply", reply.toUtf8()); }   ///< from the next call on
    void SetHang(bool hang) { hang ? Write("hang", "") : void(QFile::remove(dir_.filePath("hang"))); }
    QStringList Commands() const {   ///< oldest first
        const QByteArray log = ReadFile(dir_.filePath("commands.log"));
        return log == "(none)" ? QStringList() : QString::fromUtf8(log).split('\n', Qt::SkipEmptyParts);
    }
    QString Path() const { return dir_.filePath("browser-control"); }

private:
    void Write(const char* name, const QByteArray& bytes) { WriteFile(dir_.filePath(name), bytes); }
    QTemporaryDir dir_;
};
