#pragma once
// The system's requests to end the program: SIGTERM (the session ending at logout, or kill) and SIGINT (Ctrl-C in
// the terminal that started it). A signal handler may do almost nothing safely, so it only writes the signal's
// number into a pipe; the event loop reads it there and says so through quitRequested, and the program then quits
// as it does from its Quit menu. Elsewhere than on Unix it never fires.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    /// Takes over SIGTERM and SIGINT. One at a time: while one exists, another takes over nothing.
    explicit QuitSignals(QObject* parent = nullptr);
    /// Puts the handlers that were there before back.
    ~QuitSignals() override;

signals:
    void quitRequested(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};
