#include "platform/QuitSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT};
int pipeFds[2] = {-1, -1};
struct sigaction previous[std::size(kSignals)];

void OnSignal(int signal) {
    const int saved = errno;   // the interrupted code may be about to read errno
    const unsigned char number = static_cast<unsigned char>(signal);
    // Non-blocking: with the pipe full, a quit is already waiting to be read.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &number, 1);
    errno = saved;
}
}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (pipeFds[0] >= 0 || ::pipe(pipeFds) != 0) return;
    for (int fd : pipeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);   // not handed to the browser-control script
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0, last = 0;
        while (::read(pipeFds[0], &number, 1) == 1) last = number;
        if (last) emit quitRequested(last);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // system calls under way go on rather than fail with EINTR
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

QuitSignals::~QuitSignals() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    for (int& fd : pipeFds) {
        ::close(fd);
        fd = -1;
    }
}

#else

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}
QuitSignals::~QuitSignals() = default;

#endif
