#include "update/UpdateChecker.h"

#include <unistd.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QSysInfo>
#include <QUrl>
#include <pugixml.hpp>

#include "BuildConfig.h"
#include "update/PrivateFolder.h"
#include "update/ProgramIdentity.h"
#include "update/VersionComparator.h"

Q_LOGGING_CATEGORY(lcUpdate, "quillory.update")

namespace {

constexpr int kStatsTimeoutMs = 5000;
constexpr int kFeedTimeoutMs = 7000;
constexpr int kDownloadTimeoutMs = 60000;
const char* const kIdKey = "uuid_quillory";

QString loginName() {
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) name = qEnvironmentVariable("LOGNAME");
    return name;
}

// One GET on the calling thread, waiting for at most timeout; the reply's body, or nothing
// (with the reason) on a transport error.
std::optional<QByteArray> get(const QUrl& url, int timeoutMs, QString* error = nullptr) {
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const bool failed = reply->error() != QNetworkReply::NoError;
    if (failed && error != nullptr) *error = reply->errorString();
    const QByteArray body = reply->readAll();
    delete reply;
    if (failed) return std::nullopt;
    return body;
}

// The string value of the first node at path, or nothing when there is none.
std::optional<QString> firstValue(const pugi::xml_document& document, const char* path) {
    const pugi::xpath_node found = document.select_node(path);
    if (!found) return std::nullopt;
    return QString::fromStdString(pugi::xpath_query("string(.)").evaluate_string(found));
}

}  // namespace

UpdateChecker::UpdateChecker() = default;

UpdateChecker::~UpdateChecker() {
    if (download != nullptr) download->abort();
    delete destination;
}

QString UpdateChecker::serverBase() {
    QString base = qEnvironmentVariable("QUILLORY_UPDATE_SERVER");
    if (base.isEmpty()) base = QSettings().value(QStringLiteral("updateserver")).toString();
    if (base.isEmpty()) base = QStringLiteral(QUILLORY_UPDATE_SERVER);
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

QString UpdateChecker::statsQuery(const QString& id, const QString& version, const QString& os,
                                  const QString& user) {
    QString system = os;
    system.replace(QLatin1Char(' '), QLatin1Char('+'));
    return QStringLiteral(
               "/apps/quillorymac/desktop/updates/update_stats.php"
               "?id=%1&version=%2&os=%3&uname=%4&type=quillorymacbeta")
        .arg(id, version, system, user);
}

void UpdateChecker::updateStats() {
    QSettings settings;
    QString id = settings.value(QLatin1String(kIdKey)).toString();
    if (id.isEmpty()) {
        id = ProgramIdentity::UUIDString();
        settings.setValue(QLatin1String(kIdKey), id);
        settings.sync();
    }
    const QString query = statsQuery(id, ProgramIdentity::shared().getAppVersion(),
                                     QSysInfo::prettyProductName(), loginName());
    get(QUrl(serverBase() + query, QUrl::TolerantMode), kStatsTimeoutMs);
}

bool UpdateChecker::isUpdateAvailable() {
    QString error;
    const std::optional<QByteArray> feed =
        get(QUrl(serverBase() + QStringLiteral("/apps/quillorymac/desktop/updates/update.xml")),
            kFeedTimeoutMs, &error);
    if (!feed || feed->isEmpty()) {
        if (!error.isEmpty()) qCWarning(lcUpdate).noquote() << "Update Checker error:" << error;
        return false;
    }
    const std::optional<std::pair<QString, QString>> found = parseFeed(*feed);
    if (!found) return false;
    const bool newer =
        VersionComparator::isVersion(found->first, ProgramIdentity::shared().getAppVersion());
    if (newer) {
        version = found->first;
        versionLocation = found->second;
    }
    return newer;
}

std::optional<std::pair<QString, QString>> UpdateChecker::parseFeed(const QByteArray& feed) {
    pugi::xml_document document;
    if (!document.load_buffer(feed.constData(), static_cast<std::size_t>(feed.size())))
        return std::nullopt;
    const std::optional<QString> newest = firstValue(document, "/update/version");
    if (!newest) return std::nullopt;
    const std::optional<QString> source = firstValue(document, "/update/source");
    if (!source) return std::nullopt;
    return std::make_pair(*newest, *source);
}

bool UpdateChecker::downloadUpdate() {
    if (!versionLocation || download != nullptr) return false;
    const QUrl url(*versionLocation);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        return false;
    }
    QString name = QFileInfo(url.path()).fileName();
    if (name.isEmpty()) name = QStringLiteral("QuilloryMac-update");
    // Into the user's private folder, never through a link: the package is handed to an
    // installer, so nobody else may choose or replace what lands there.
    const QString folder = PrivateFolder::ensure();
    if (folder.isEmpty()) return false;
    const int fd = PrivateFolder::openForWriting(folder, name);
    if (fd < 0) return false;
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    if (network == nullptr) network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(kDownloadTimeoutMs);
    downloadedFile = folder + QLatin1Char('/') + name;
    destination = file.release();
    download = network->get(request);
    connect(download, &QNetworkReply::readyRead, this,
            [this] { destination->write(download->readAll()); });
    connect(download, &QNetworkReply::finished, this, &UpdateChecker::downloadFinished);
    return true;
}

void UpdateChecker::downloadFinished() {
    QNetworkReply* reply = download;
    download = nullptr;
    reply->deleteLater();
    const bool failed = reply->error() != QNetworkReply::NoError ||
                        destination->write(reply->readAll()) < 0 || !destination->flush();
    destination->close();
    const std::optional<QString> path = downloadedFile;
    downloadedFile.reset();
    if (failed) {
        qCWarning(lcUpdate).noquote()
            << "Download failed! Error -" << reply->errorString() << reply->url().toString();
        // A broken download is no package: it must not be left to look like one.
        QFile::remove(*path);
    } else {
        qCInfo(lcUpdate) << "downloadDidFinish";
    }
    delete destination;
    destination = nullptr;
    if (delegate) delegate(failed ? std::nullopt : path);
}
