// What the main window shows when a sync ends and what it does when that sheet is dismissed.
#pragma once

#include <QString>
#include <optional>

#include "SyncResult.h"

class SyncOutcome {
public:
    struct Sheet {
        QString title;
        QString text;
        QString defaultButton;    // return code 1
        QString alternateButton;  // return code 0; empty means no second button
        QString context;          // "success" or the error's kind code
    };
    enum class Next { Nothing, Reconnect, Retry };

    // "Finished" after a success; the kind code and message with OK and Retry after an error;
    // nothing for any other result.
    static std::optional<Sheet> sheetFor(const SyncResult& result);
    // OK (1) after "error_connect" reconnects; Retry (0) after an error syncs again.
    static Next afterSheet(const QString& context, int returnCode);
    // A rating of 4 or more asks the user to rate the device app in its store.
    static bool asksForStoreRating(int rating) { return rating >= 4; }
};
