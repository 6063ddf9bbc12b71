#include "tests/support/gui/FakeScript.h"

#include <QFile>
#include <QTextStream>

#include "app/App.h"
#include "platform/ScriptRunner.h"

namespace {
void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}
}  // namespace

FakeScript::FakeScript(const QString& reply)
    : previousPath_(app().script().ScriptPath()), previousTimeout_(app().script().Timeout()) {
    const QString d = dir_.path();
    // exec makes the sleeping process the script itself, so the runner's kill ends it.
    const QByteArray body = "#!/bin/sh\n"
                            "d='" + d.toUtf8() + "'\n"
                            "printf '%s\\n' \"$1\" >> \"$d/commands.log\"\n"
                            "if [ -f \"$d/hang\" ]; then exec sleep 60; fi\n"
                            "cat \"$d/reply\" 2>/dev/null\n";
    WriteFile(Path(), body);
    QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetReply(reply);
    app().script().SetScriptPath(Path());
}

FakeScript::~FakeScript() {
    app().script().SetScriptPath(previousPath_);
    app().script().SetTimeout(previousTimeout_);
}

void FakeScript::SetReply(const QString& reply) { WriteFile(dir_.filePath("reply"), reply.toUtf8()); }

void FakeScript::SetHang(bool hang) {
    if (hang)
        WriteFile(dir_.filePath("hang"), "");
    else
        QFile::remove(dir_.filePath("hang"));
}

QStringList FakeScript::Commands() const {
    QFile f(dir_.filePath("commands.log"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    return lines;
}

void FakeScript::ClearCommands() { QFile::remove(dir_.filePath("commands.log")); }

QString FakeScript::Path() const { return dir_.filePath("browser-control"); }
