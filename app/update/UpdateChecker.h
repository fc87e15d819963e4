// Talks to the maker's update server: the statistics request, the update feed
// "/apps/quillorymac/desktop/updates/update.xml" ("/update/version", "/update/source"), and the
// download of the installer package into the user's private folder (PrivateFolder).
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

class UpdateChecker : public QObject {
    Q_OBJECT
  public:
    // Called once per started download: the package's path, or absent when it failed.
    using Delegate = std::function<void(const std::optional<QString>&)>;

    UpdateChecker();
    ~UpdateChecker() override;

    // The server's base address: QUILLORY_UPDATE_SERVER in the environment, else the settings
    // key "updateserver", else the one the program was built with.
    static QString serverBase();
    // The statistics request's path and query, e.g. for an identifier and the running system.
    static QString statsQuery(const QString& id, const QString& version, const QString& os,
                              const QString& user);

    // The version and the package address of a feed; nothing when it is not XML or lacks either.
    static std::optional<std::pair<QString, QString>> parseFeed(const QByteArray& feed);

    // Sends the statistics request (blocking, at most 5 s); every failure is ignored. Makes and
    // keeps the installation identifier "uuid_quillory" the first time. Any thread.
    void updateStats();
    // Fetches the feed (blocking, at most 7 s); true when its version is newer than the
    // program's, which then keeps the version and the package address. Any thread.
    bool isUpdateAvailable();
    std::optional<QString> getVersion() const { return version; }
    std::optional<QString> getVersionLocation() const { return versionLocation; }

    void setDelegate(Delegate callback) { delegate = std::move(callback); }
    // Starts downloading the package into the private folder under the last component of its
    // address, replacing an older file. False when it cannot start (no callback follows then);
    // otherwise exactly one delegate call, on this thread. Main thread.
    bool downloadUpdate();

  private:
    void downloadFinished();

    std::optional<QString> version;
    std::optional<QString> versionLocation;
    std::optional<QString> downloadedFile;
    Delegate delegate;
    QNetworkAccessManager* network = nullptr;
    QNetworkReply* download = nullptr;
    QFile* destination = nullptr;
};
