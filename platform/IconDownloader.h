#pragma once
// Fetches one feed icon at a time over HTTP(S) into a file. A new Get cancels the fetch still running,
// so an icon never arrives for a feed that is no longer selected. Redirects are followed, but never
// from HTTPS to HTTP; a fetch that takes too long or grows too big is given up.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class IconDownloader : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 15000;
    static constexpr qint64 kDefaultSizeLimit = 2 * 1024 * 1024;
    static constexpr qint64 kReadBufferSize = 64 * 1024;

    explicit IconDownloader(QObject* parent = nullptr);
    ~IconDownloader() override;

    /// Starts a GET of url whose body goes into file; cancels the running fetch first.
    void Get(const QUrl& url, const QString& file);
    /// Drops the running fetch without a completion signal.
    void Cancel();
    bool IsBusy() const { return !reply_.isNull(); }

    void SetTimeout(int ms) { timeoutMs_ = ms; }
    void SetSizeLimit(qint64 bytes) { sizeLimit_ = bytes; }

signals:
    /// Once for every fetch that was not cancelled. httpStatus is the final response's status, or 0 when
    /// no complete response came (time-out, size limit, refused redirect, network error). The file is
    /// written only for a complete 2xx response.
    void DownloadComplete(const QString& url, int httpStatus, const QString& file);

private:
    void OnFinished();
    void Fail();

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer deadline_{this};   // a child, so what is still pending can be seen
    QByteArray body_;
    QString url_;
    QString file_;
    int timeoutMs_ = kDefaultTimeoutMs;
    qint64 sizeLimit_ = kDefaultSizeLimit;
};
