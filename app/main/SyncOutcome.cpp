#include "SyncOutcome.h"

std::optional<SyncOutcome::Sheet> SyncOutcome::sheetFor(const SyncResult& result) {
    if (result.result == QLatin1String("success")) {
        return Sheet{QStringLiteral("Finished"), QStringLiteral("Sync is complete.."),
                     QStringLiteral("OK"), QString(), QStringLiteral("success")};
    }
    if (result.result == QLatin1String("exception")) {
        return Sheet{result.type(), result.message(), QStringLiteral("OK"), QStringLiteral("Retry"),
                     result.type()};
    }
    return std::nullopt;
}

SyncOutcome::Next SyncOutcome::afterSheet(const QString& context, int returnCode) {
    if (context == QLatin1String("success")) return Next::Nothing;
    if (returnCode == 1 && context == QLatin1String("error_connect")) return Next::Reconnect;
    if (returnCode == 0) return Next::Retry;
    return Next::Nothing;
}
