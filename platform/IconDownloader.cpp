#include "platform/IconDownloader.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

IconDownloader::IconDownloader(QObject* parent) : QObject(parent), network_(new QNetworkAccessManager(this)) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &IconDownloader::Fail);
}

IconDownloader::~IconDownloader() { Cancel(); }

void IconDownloader::Get(const QUrl& url, const QString& file) {
    Cancel();
    url_ = url.toString();
    file_ = file;
    body_.clear();

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    // The network thread keeps at most this much unread: a body larger than the cap is never held whole,
    // however long the window's thread takes to come and read it.
    reply->setReadBufferSize(kReadBufferSize);

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > sizeLimit_) Fail();
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        body_.append(reply->readAll());
        if (body_.size() > sizeLimit_) Fail();
    });
    connect(reply, &QNetworkReply::finished, this, &IconDownloader::OnFinished);
    deadline_.start(timeoutMs_);
}

void IconDownloader::Cancel() {
    deadline_.stop();
    if (QNetworkReply* reply = reply_.data()) {
        reply_.clear();
        reply->disconnect(this);
        // Dropped, not aborted: deleting a reply ends its transfer, while aborting one whose failure is already
        // on its way makes Qt handle that failure twice.
        reply->deleteLater();
    }
    body_.clear();
}

void IconDownloader::Fail() {
    const QString url = url_, file = file_;
    Cancel();
    emit DownloadComplete(url, 0, file);
}

void IconDownloader::OnFinished() {
    QNetworkReply* reply = reply_.data();
    if (!reply) return;
    deadline_.stop();
    body_.append(reply->readAll());
    int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Errors below 200 are the network's own (refused, timed out, too many or unsafe redirects):
    // no usable response arrived. Above that they are HTTP statuses, which the caller judges.
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) status = 0;
    if (body_.size() > sizeLimit_) status = 0;

    reply_.clear();
    reply->disconnect(this);
    reply->deleteLater();

    if (status >= 200 && status < 300) {
        QDir().mkpath(QFileInfo(file_).absolutePath());
        QSaveFile out(file_);
        if (!out.open(QIODevice::WriteOnly) || out.write(body_) != body_.size() || !out.commit()) status = 0;
    }
    body_.clear();
    emit DownloadComplete(url_, status, file_);
}
