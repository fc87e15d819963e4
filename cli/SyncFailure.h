// What quillory-sync says and returns when a connection or a sync fails: the engine's kind code
// and message, a plain-word explanation of that kind, and the exit status by which scripts tell
// the kinds apart.
#pragma once

#include <QString>

class SyncFailure {
  public:
    // "KIND: MESSAGE — EXPLANATION", e.g. "error_connect: Connection refused — is the device
    // app running and on the same network?"; without the ": MESSAGE" when the message is
    // empty. An unknown kind is explained as "error". Pure; safe from any thread.
    static QString describe(const QString& kind, const QString& message);
    // The plain words for one kind; those of "error" for a kind the engine does not throw.
    static QString explanation(const QString& kind);
    // 3 error_connect, 4 error_disconnect, 5 error_refused, 6 error_communication, 7 error_db,
    // 130 error_cancel (as a shell reports Ctrl-C), 8 for "error" and anything else.
    static int exitStatus(const QString& kind);
};
