// How a sync ended: "success", or "exception" with the engine error's kind code ("type") and
// message ("message"). A finished sync may still name files the device declined; and every sync
// counts what it did to the tracks.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

struct SyncResult {
    // What the sync did, counted in tracks (album art and playlists are not counted).
    struct Summary {
        int sent = 0;      // sent to the device
        int deleted = 0;   // deleted from the device: no chosen playlist wants them any more
        int present = 0;   // already on the device
        int skipped = 0;   // not sent: their file on this computer could not be read
        int declined = 0;  // not sent: the device declined them
    };

    QString result;
    std::optional<QMap<QString, QString>> exceptionDetails;
    // Files the device declined ("artist/album/file name"): skipped, offered again next sync.
    QStringList declinedFiles;
    // The work done; after a failure, the work done until it.
    Summary summary;
    // A dry run's findings: what a sync would send and delete ("artist/album/file name", album
    // art as "AlbumArt.jpg"), in that order; summary.present and summary.skipped count as a
    // sync would.
    QStringList wouldSend;
    QStringList wouldDelete;

    bool succeeded() const { return result == QLatin1String("success"); }
    QString type() const { return exceptionDetails ? exceptionDetails->value("type") : QString(); }
    QString message() const {
        return exceptionDetails ? exceptionDetails->value("message") : QString();
    }
    // The summary as one line, e.g. "12 tracks sent, 3 deleted from the device, 40 already
    // there, 1 skipped (unreadable), 2 declined by the device."
    QString summaryLine() const;
};
