#include "SyncFailure.h"

#include <QHash>

namespace {

struct Kind {
    int status;
    const char* explanation;
};

const QHash<QString, Kind>& kinds() {
    // The explanations name what the user can do, since the engine's message names only what
    // happened on the socket or in the cache.
    static const QHash<QString, Kind> table{
        {QStringLiteral("error_connect"),
         {3, "is the device app running and on the same network?"}},
        {QStringLiteral("error_disconnect"),
         {4, "the connection to the device broke off; the next sync sends what is missing"}},
        {QStringLiteral("error_refused"),
         {5, "the device app refused the request; check its screen and free space"}},
        {QStringLiteral("error_communication"),
         {6, "the device app's answer could not be understood; is it up to date?"}},
        {QStringLiteral("error_db"),
         {7, "the sync cache in ~/quillory could not be read or written"}},
        {QStringLiteral("error"),
         {8, "the sync stopped on an unexpected error; ~/quillory/quillory-sync.log says more"}},
        {QStringLiteral("error_cancel"),
         {130, "the sync was cancelled; the next sync sends what is missing"}},
    };
    return table;
}

const Kind& kindOf(const QString& code) {
    const auto found = kinds().constFind(code);
    return *(found != kinds().constEnd() ? found : kinds().constFind(QStringLiteral("error")));
}

}  // namespace

QString SyncFailure::explanation(const QString& kind) {
    return QString::fromUtf8(kindOf(kind).explanation);
}

int SyncFailure::exitStatus(const QString& kind) {
    return kindOf(kind).status;
}

QString SyncFailure::describe(const QString& kind, const QString& message) {
    if (message.isEmpty()) return QStringLiteral("%1 \u2014 %2").arg(kind, explanation(kind));
    return QStringLiteral("%1: %2 \u2014 %3").arg(kind, message, explanation(kind));
}
