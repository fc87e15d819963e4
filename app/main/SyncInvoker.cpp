#include "main/SyncInvoker.h"

#include <QLoggingCategory>
#include <QSettings>
#include <atomic>
#include <cstdlib>
#include <utility>

#include "link/WifiTransfer.h"
#include "main/SyncStatusCallbackImpl.h"
#include "media/CMediaException.h"
#include "media/Synchronizer.h"
#include "update/Environment.h"

Q_LOGGING_CATEGORY(lcInvoker, "quillory.sync")

SyncInvoker::SyncInvoker(NotificationCenter& center) : center(center) {}

quint64 SyncInvoker::portNumber(const QString& port) {
    const QByteArray text = port.toUtf8();
    return std::strtoull(text.constData(), nullptr, 10);
}

void SyncInvoker::cancelSync() {
    std::atomic_ref<int>(cancel).store(1, std::memory_order_relaxed);
}

void SyncInvoker::syncStatusUpdate(const QString& message, int percent) {
    fireNotification(
        {QStringLiteral("update"), this,
         QVariantMap{{QStringLiteral("percent"), percent}, {QStringLiteral("message"), message}}});
}

void SyncInvoker::fireNotification(const Notification& notification) {
    center.post(notification);
}

SyncResult SyncInvoker::sync(const QString& host, const QString& port, const QStringList& playlists,
                             QList<ITunesMediaFileObc> mediaFiles,
                             const QMap<QString, QString>& serverInfo) {
    SyncResult result;
    qCInfo(lcInvoker) << "Converitng playlists to CPP";
    std::vector<std::string> names;
    for (const QString& playlist : playlists) {
        if (playlist.isNull()) {
            qCInfo(lcInvoker) << "nil encountered in the playlist array";
            continue;
        }
        names.push_back(playlist.toStdString());
    }

    qCInfo(lcInvoker) << "Building media files OBJC->CPP";
    std::vector<itunesinfo::ITunesMediaFile> tracks;
    tracks.reserve(static_cast<std::size_t>(mediaFiles.size()));
    // Each record is emptied as soon as it is converted, so the two forms of a large library
    // are never held whole at the same time.
    for (ITunesMediaFileObc& file : mediaFiles) {
        qCDebug(lcInvoker).noquote() << "Converting MediaFileOBJC:" << file.description();
        std::vector<std::string> lists;
        for (const QString& name : file.playLists) {
            if (name.isNull()) {
                qCInfo(lcInvoker) << "pointing playlist has nil item";
                continue;
            }
            lists.push_back(name.toStdString());
        }
        tracks.emplace_back(file.artist.toStdString(), file.album.toStdString(),
                            file.filename.toStdString(), static_cast<int64_t>(file.size),
                            file.sourceFile.toStdString(), file.sourceArt.toStdString(),
                            std::move(lists));
        file = ITunesMediaFileObc();
    }
    mediaFiles = {};
    const std::vector<itunesinfo::ITunesMediaFile> others;

    qCInfo(lcInvoker) << "Building server info OBJC->CPP";
    Environment& environment = Environment::sharedEnv();
    // A cache deleted since start-up comes back from the template (an existing one stays).
    Environment::install(environment.workingDir(), environment.databaseFile());
    const std::string workingDir = environment.workingDir().toStdString();
    qCInfo(lcInvoker) << "ServerInfo is" << serverInfo;
    auto value = [&](const char* key) {
        return serverInfo.value(QLatin1String(key)).toStdString();
    };
    ServerConnectInfo info(value("versionname"), value("versioncode"), value("package"),
                           host.toStdString(), portNumber(port), value("deviceid"),
                           value("devicename"), value("synclocation"), value("extra"));

    std::atomic_ref<int>(cancel).store(0, std::memory_order_relaxed);
    {
        WifiTransfer transfer(&cancel);
        transfer.setHost(host.toStdString());
        transfer.setPort(port.toStdString());
        Synchronizer synchronizer(transfer, info, std::move(tracks), others, names, workingDir);
        Synchronizer::Options options;
        options.fast =
            fastSync.value_or(QSettings().value(QStringLiteral("fastsync"), true).toBool());
        synchronizer.setOptions(options);
        qCInfo(lcInvoker) << "Going to sync now";
        SyncStatusCallbackImpl callback(*this);
        // The counts hold the work done so far when the sync throws, so they are taken either way.
        auto takeSummary = [&] {
            const Synchronizer::Summary& done = synchronizer.getSummary();
            result.summary = {done.sent, done.deleted, done.present, done.skipped, done.declined};
        };
        try {
            if (dryRun) {
                const Synchronizer::Preview preview = synchronizer.preview(&callback);
                for (const std::string& file : preview.send) {
                    result.wouldSend << QString::fromStdString(file);
                }
                for (const std::string& file : preview.remove) {
                    result.wouldDelete << QString::fromStdString(file);
                }
                result.summary.present = preview.present;
                result.summary.skipped = preview.skipped;
                result.result = QStringLiteral("success");
                return result;
            }
            synchronizer.sync(&callback);
            result.result = QStringLiteral("success");
            for (const std::string& file : synchronizer.getDeclinedFiles()) {
                result.declinedFiles << QString::fromStdString(file);
            }
            result.exceptionDetails.reset();
            takeSummary();
        } catch (const media::CMediaException& error) {
            const QString type = QString::fromUtf8(error.what());
            const QString message = QString::fromStdString(error.message);
            qCWarning(lcInvoker).noquote() << "MediaException occured while syncing type" << type
                                           << ", description" << message;
            result.exceptionDetails = QMap<QString, QString>{{QStringLiteral("type"), type},
                                                             {QStringLiteral("message"), message}};
            result.result = QStringLiteral("exception");
            takeSummary();
        }
    }
    return result;
}
