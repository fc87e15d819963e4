// Runs one sync for the program: turns the library's records and the kept device description
// into engine records, runs Synchronizer::sync on the calling thread, posts every progress report
// as an "update" notification (user info "percent" and "message") on that thread, and returns
// how it ended. cancelSync may be called from any thread while sync runs.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

#include "library/ITunesMediaFileObc.h"
#include "main/NotificationCenter.h"
#include "main/SyncResult.h"

class SyncInvoker {
  public:
    explicit SyncInvoker(NotificationCenter& center = NotificationCenter::defaultCenter());

    // Blocks until the sync has ended. Engine errors come back in the result, never thrown.
    // The records are released once turned into engine records (hand them over with std::move
    // so that a large library is not held twice while the sync runs).
    SyncResult sync(const QString& host, const QString& port, const QStringList& playlists,
                    QList<ITunesMediaFileObc> mediaFiles, const QMap<QString, QString>& serverInfo);
    // Asks the running sync to stop before the next chunk of the file being sent.
    void cancelSync();
    // Fast sync (commands sent ahead of their replies, art only when it changed) or one command
    // at a time, for a device app that cannot take commands ahead. Unless set here, the user
    // setting "fastsync" decides (on by default). Call before sync.
    void setFastSync(bool fast) { fastSync = fast; }
    // A dry run finds what the sync would do (SyncResult::wouldSend and wouldDelete) and
    // changes nothing on the device or in the cache. Call before sync.
    void setDryRun(bool dry) { dryRun = dry; }

    void syncStatusUpdate(const QString& message, int percent);
    void fireNotification(const Notification& notification);

    // The port as the engine's description takes it: leading blanks skipped, an optional sign
    // and the leading digits read, 0 without digits.
    static quint64 portNumber(const QString& port);

  private:
    NotificationCenter& center;
    int cancel = 0;
    std::optional<bool> fastSync;
    bool dryRun = false;
};
