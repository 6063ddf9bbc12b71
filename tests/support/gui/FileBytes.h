#pragma once
// Reading and writing a whole file in one call, for the GUI tests and their stand-ins.
#include <QDir>
#include <QFile>
#include <QFileInfo>

/// The whole file, or "(none)" when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}
/// Writes the whole file, making its folder first; whether it was written.
inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
