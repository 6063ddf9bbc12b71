#include "platform/Processes.h"

#ifdef Q_OS_MACOS
#include <libproc.h>

#include <vector>
#else
#include <QDir>
#include <QFile>
#endif

namespace Processes {

#ifdef Q_OS_MACOS
bool AnyNamed(const QString& name) {
    // The first call counts the processes; room for a few more, in case some start in between.
    const int count = proc_listallpids(nullptr, 0);
    if (count <= 0) return false;
    std::vector<pid_t> pids(static_cast<std::size_t>(count) + 32);
    const int found = proc_listallpids(pids.data(), static_cast<int>(pids.size() * sizeof(pid_t)));
    const QByteArray wanted = name.toUtf8();
    char buffer[2 * MAXCOMLEN + 1];
    for (int i = 0; i < found; ++i) {
        if (pids[static_cast<std::size_t>(i)] <= 0) continue;
        const int length = proc_name(pids[static_cast<std::size_t>(i)], buffer, sizeof buffer);
        if (length > 0 && QByteArray(buffer, length) == wanted) return true;
    }
    return false;
}
#else
bool AnyNamed(const QString& name) {
    // The kernel keeps the first 15 bytes of the name.
    const QByteArray wanted = name.toUtf8().left(15);
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid.isEmpty() || !pid.front().isDigit()) continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == wanted) return true;
    }
    return false;
}
#endif

}  // namespace Processes
