#include "connection/ConnectionAttempt.h"

#include "link/WifiTransfer.h"
#include "media/CMediaException.h"

StringPair ConnectionAttempt::run(const QString& host, const QString& port,
                                  std::optional<QMap<QString, QString>>& serverInfo) {
    int cancel = 0;
    WifiTransfer transfer(&cancel);
    transfer.setHost(host.toStdString());
    transfer.setPort(port.toStdString());
    serverInfo = QMap<QString, QString>();
    const std::map<std::string, std::string> command{{"command", "version"},
                                                     {"number", "quillorymacbeta"}};
    StringPair result;
    try {
        transfer.init();
        for (const auto& [key, value] : transfer.sendCommand(command)) {
            serverInfo->insert(QString::fromStdString(key), QString::fromStdString(value));
        }
    } catch (const media::CMediaException& error) {
        result.key = QString::fromUtf8(error.what());
        result.value = QString::fromStdString(error.message);
        serverInfo.reset();
    }
    transfer.free();
    if (!result.key) result.key = QStringLiteral("success");
    return result;
}
