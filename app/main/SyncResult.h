// How a sync ended: "success", or "exception" with the engine error's kind code ("type") and
// message ("message"). A finished sync may still name files the device declined.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

struct SyncResult {
    QString result;
    std::optional<QMap<QString, QString>> exceptionDetails;
    // Files the device declined ("artist/album/file name"): skipped, offered again next sync.
    QStringList declinedFiles;

    bool succeeded() const { return result == QLatin1String("success"); }
    QString type() const { return exceptionDetails ? exceptionDetails->value("type") : QString(); }
    QString message() const {
        return exceptionDetails ? exceptionDetails->value("message") : QString();
    }
};
