// One connection attempt to a device app: the engine's handshake, then a "version" command whose
// reply is the server info. Blocking; run it on a background thread.
#pragma once

#include <QMap>
#include <QString>
#include <optional>

#include "connection/StringPair.h"

class ConnectionAttempt {
public:
    // Connects to host:port. On success serverInfo holds every member of the reply; on an engine
    // error it is absent and the pair carries the error's kind code and message.
    static StringPair run(const QString& host, const QString& port,
                          std::optional<QMap<QString, QString>>& serverInfo);
};
