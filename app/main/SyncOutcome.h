// What the main window shows when a sync ends (or is held back before it starts) and what it
// does when that sheet is dismissed.
#pragma once

#include <QString>
#include <optional>

#include "main/LibraryGuard.h"
#include "main/SyncResult.h"

class SyncOutcome {
  public:
    struct Sheet {
        QString title;
        QString text;             // shown as plain text, exactly as it is
        QString defaultButton;    // return code 1
        QString alternateButton;  // return code 0; empty means no second button
        QString context;          // "success", the error's kind code, "refused" or "confirm"
        // What Escape and the close box count as: never the button that starts something.
        int dismissCode = 1;
    };
    enum class Next { Nothing, Reconnect, Retry, SyncConfirmed };

    // "Finished" (with what the sync did) after a success; the kind code and message with OK
    // and Retry after an error; nothing for any other result. Escape means OK.
    static std::optional<Sheet> sheetFor(const SyncResult& result);
    // The sheet of a sync held back by the library check: the refusal (OK), or the question
    // before removing missing playlists ("Continue" / "Cancel", Escape means Cancel).
    static Sheet sheetFor(const LibraryGuard::Decision& decision,
                          const LibraryGuard::Reading& reading);
    // OK (1) after "error_connect" reconnects; Retry (0) after an error syncs again; Continue (1)
    // after "confirm" syncs with the missing playlists agreed to.
    static Next afterSheet(const QString& context, int returnCode);
    // A rating of 4 or more asks the user to rate the device app in its store.
    static bool asksForStoreRating(int rating) { return rating >= 4; }
};
