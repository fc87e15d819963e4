// How a sync ended: "success", or "exception" with the engine error's kind code ("type") and
// message ("message").
#pragma once

#include <QMap>
#include <QString>
#include <optional>

struct SyncResult {
    QString result;
    std::optional<QMap<QString, QString>> exceptionDetails;

    bool succeeded() const { return result == QLatin1String("success"); }
    QString type() const { return exceptionDetails ? exceptionDetails->value("type") : QString(); }
    QString message() const {
        return exceptionDetails ? exceptionDetails->value("message") : QString();
    }
};
