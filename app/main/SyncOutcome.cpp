#include "main/SyncOutcome.h"

std::optional<SyncOutcome::Sheet> SyncOutcome::sheetFor(const SyncResult& result) {
    if (result.result == QLatin1String("success")) {
        return Sheet{QStringLiteral("Finished"),
                     QStringLiteral("Sync is complete..\n") + result.summaryLine(),
                     QStringLiteral("OK"),
                     QString(),
                     QStringLiteral("success"),
                     1};
    }
    if (result.result == QLatin1String("exception")) {
        return Sheet{result.type(),           result.message(), QStringLiteral("OK"),
                     QStringLiteral("Retry"), result.type(),    1};
    }
    return std::nullopt;
}

SyncOutcome::Sheet SyncOutcome::sheetFor(const LibraryGuard::Decision& decision,
                                         const LibraryGuard::Reading& reading) {
    if (decision.verdict == LibraryGuard::Verdict::Confirm) {
        return Sheet{
            LibraryGuard::confirmationTitle(), LibraryGuard::confirmationText(decision.missing),
            QStringLiteral("Continue"),        QStringLiteral("Cancel"),
            QStringLiteral("confirm"),         0};
    }
    return Sheet{LibraryGuard::refusalTitle(), LibraryGuard::refusalText(reading),
                 QStringLiteral("OK"),         QString(),
                 QStringLiteral("refused"),    1};
}

SyncOutcome::Next SyncOutcome::afterSheet(const QString& context, int returnCode) {
    if (context == QLatin1String("success") || context == QLatin1String("refused")) {
        return Next::Nothing;
    }
    if (context == QLatin1String("confirm")) {
        return returnCode == 1 ? Next::SyncConfirmed : Next::Nothing;
    }
    if (returnCode == 1 && context == QLatin1String("error_connect")) return Next::Reconnect;
    if (returnCode == 0) return Next::Retry;
    return Next::Nothing;
}
