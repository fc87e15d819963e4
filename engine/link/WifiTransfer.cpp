#include "link/WifiTransfer.h"

#include <json/value.h>

#include <atomic>
#include <optional>

#include "link/CSockException.h"
#include "link/CommandFormatter.h"
#include "media/CMediaException.h"
#include "util/FileTester.h"
#include "util/JsonInput.h"
#include "util/Logger.h"
#include "util/Utils.h"

using Members = std::map<std::string, std::string>;

namespace {

const char* const kTag = "WIFITRANSFER";

void log(const std::string& message) {
    Logger::log(kTag, message);
}

// Parses one reply line (comments allowed, text after the first value ignored, as the device
// protocol has always been read). Anything that is not a JSON object, nested too deep included,
// is a communication error, so no jsoncpp exception can escape a later member access.
Json::Value parseReply(const std::string& line) {
    if (line.empty() || (line.back() != '\n' && line.back() != '\r')) {
        const std::string message = "reply line exceeds " +
                                    std::to_string(mycsocks::kMaxReplyLineBytes) +
                                    " bytes without a line end";
        log(message);
        throw media::CMediaCommunicationException(message);
    }
    const std::optional<Json::Value> reply = JsonInput::parse(line);
    if (!reply) {
        const std::string message = "json parse failed : " + line;
        log(message);
        throw media::CMediaCommunicationException(message);
    }
    if (!reply->isObject()) {
        const std::string message = "reply is not a JSON object : " + line;
        log(message);
        throw media::CMediaCommunicationException(message);
    }
    return *reply;
}

// A reply member as text: strings as they are, null as "", booleans and numbers in their JSON
// form. Arrays and objects are not text.
std::string memberText(const Json::Value& value, const std::string& key, const std::string& line) {
    if (value.isArray() || value.isObject()) {
        const std::string message = "reply member " + key + " is not text : " + line;
        log(message);
        throw media::CMediaCommunicationException(message);
    }
    return value.asString();
}

}  // namespace

WifiTransfer::WifiTransfer(int* cancelFlag) : cancelFlag(cancelFlag) {}

WifiTransfer::~WifiTransfer() {
    free();
}

void WifiTransfer::setHost(std::string value) {
    host = std::move(value);
}

void WifiTransfer::setPort(std::string value) {
    port = std::move(value);
}

void WifiTransfer::setTimeouts(int connectMs, int idleMs) {
    client.setTimeouts(connectMs, idleMs);
}

ServerConnectInfo& WifiTransfer::getServerVersionInfo() {
    return serverInfo;
}

bool WifiTransfer::cancelled() const {
    if (cancelFlag == nullptr) return false;
    return std::atomic_ref<int>(*cancelFlag).load(std::memory_order_relaxed) >= 1;
}

void WifiTransfer::init() {
    Logger::log("WifiTransfer", "Tring to connect to host: " + host + ":" + port);
    try {
        client.connectSock(host, port);
    } catch (const mycsocks::CSockException& error) {
        log(error.what());
        throw media::CMediaConnectException(error.what());
    }
    const Members reply = sendCommand({{"command", "version"}, {"number", "quillorymacbeta"}});
    serverInfo = ServerConnectInfo(reply);
}

void WifiTransfer::free() {
    log("free");
    client.closeclient();
}

Members WifiTransfer::sendCommand(Members command) {
    log("sendCommand");
    return sendCommandStr(CommandFormatter::format(command));
}

void WifiTransfer::sendLine(const std::string& line) {
    try {
        client.sendStr(line);
    } catch (const mycsocks::CSockException& error) {
        log(error.what());
        throw media::CMediaDisconnectException(error.what());
    }
}

Members WifiTransfer::sendCommandStr(std::string text) {
    std::string line;
    try {
        client.sendStr(text);
        line = client.receiveLine();
    } catch (const mycsocks::CSockException& error) {
        log(error.what());
        throw media::CMediaDisconnectException(error.what());
    }
    const Json::Value reply = parseReply(line);
    if (!reply.isMember("response")) {
        const std::string message = "reponse key does not exist in response : " + line;
        log(message);
        throw media::CMediaCommunicationException(message);
    }
    const std::string response = memberText(reply["response"], "response", line);
    if (response == "fail") {
        const std::string reason =
            reply.isMember("reason") ? memberText(reply["reason"], "reason", line) : "";
        log("fail reason: " + reason);
        throw media::CMediaRefusedException(reason);
    }
    Members members;
    if (response != "ok") return members;
    for (const std::string& key : reply.getMemberNames()) {
        members[key] = memberText(reply[key], key, line);
    }
    return members;
}

bool WifiTransfer::checkResponseOK() {
    std::string line;
    try {
        line = client.receiveLine();
    } catch (const mycsocks::CSockException& error) {
        throw media::CMediaDisconnectException(error.what());
    }
    const Json::Value reply = parseReply(line);
    if (!reply.isMember("response") || reply["response"].isNull()) {
        log("response value was null");
        throw media::CMediaDisconnectException("response value is null");
    }
    const std::string response = memberText(reply["response"], "response", line);
    if (response == "ok") return true;
    if (response == "fail") {
        std::string reason = "Unknown";
        if (reply.isMember("reason") && !reply["reason"].isNull()) {
            reason = memberText(reply["reason"], "reason", line);
        }
        log("fail reason: " + reason);
        throw media::CMediaRefusedException(reason);
    }
    return false;
}

bool WifiTransfer::sendFile(const Members& command, const std::string& location) {
    sendLine(CommandFormatter::format(command));
    if (!checkResponseOK()) {
        // A track or an art file the device declines is not on the device; returning quietly
        // would let the cache claim it, and an older device app would never be sent it again.
        const std::string name = command.count("filename") != 0 ? command.at("filename") : "";
        if (command.at("command") != "syncplaylist") {
            const std::string message = "the device declined " + name;
            log(message);
            throw media::CMediaDeclinedException(message);
        }
        return true;
    }
    transmitFile(location);
    return checkResponseOK();
}

void WifiTransfer::syncMedia(std::string location, std::string artist, std::string album,
                             std::string fileName) {
    log("syncing media : " + location);
    const bool ok = sendFile({{"album", album},
                              {"artist", artist},
                              {"command", "syncmedia"},
                              {"filename", fileName},
                              {"size", Utils::sizeToString(Utils::getFileSize(location))}},
                             location);
    if (!ok) log("checkResponseOK failed");
}

void WifiTransfer::syncArt(std::string location, std::string artist, std::string album,
                           std::string fileName) {
    log("syncing art : " + location);
    sendFile({{"album", album},
              {"artist", artist},
              {"command", "syncart"},
              {"filename", fileName},
              {"size", Utils::sizeToString(Utils::getFileSize(location))}},
             location);
}

void WifiTransfer::syncPlaylist(std::string location, std::string fileName) {
    log("syncplaylist : " + location);
    sendFile({{"command", "syncplaylist"},
              {"filename", fileName},
              {"size", Utils::sizeToString(Utils::getFileSize(location))}},
             location);
}

std::string WifiTransfer::checkAndRefreshExisting(std::string location, std::string artist,
                                                  std::string album, std::string fileName,
                                                  bool refresh) {
    log("syncing media : " + location);
    Members reply = sendCommandStr(
        CommandFormatter::format({{"album", album},
                                  {"artist", artist},
                                  {"command", "check_and_refresh_existing"},
                                  {"dorefresh", refresh ? "yes" : "no"},
                                  {"filename", fileName},
                                  {"size", Utils::sizeToString(Utils::getFileSize(location))}}));
    return reply.count("status") != 0 ? reply["status"] : "";
}

void WifiTransfer::remove(std::string artist, std::string album, std::string fileName) {
    log("remove : " + artist + " " + album + " " + fileName);
    sendLine(CommandFormatter::format(
        {{"album", album}, {"artist", artist}, {"command", "delete"}, {"filename", fileName}}));
}

void WifiTransfer::removePlaylists() {
    log("removeplaylists");
    sendLine(CommandFormatter::format({{"command", "removeplaylists"}}));
}

void WifiTransfer::done() {
    log("done");
    sendLine(CommandFormatter::format({{"command", "bye"}}));
    checkResponseOK();
}

void WifiTransfer::transmitFile(std::string location) {
    log("transferring file: " + location);
    FileTester tester(location.c_str());
    if (!tester.canOpen()) {
        const std::string message = "file could not be opened: " + location;
        log(message);
        throw media::CMediaException(message);
    }
    FILE* file = tester.getFilePointer();
    // Corked, the 1 KiB chunks leave as full segments and the last one is pushed when the
    // file ends, instead of waiting for the device's delayed acknowledgement.
    client.setCork(true);
    struct Uncork {
        mycsocks::CTcpClient& client;
        ~Uncork() { client.setCork(false); }
    } uncork{client};
    char chunk[mycsocks::kFileChunkBytes];
    for (;;) {
        if (cancelled()) {
            client.closeclient();
            log("user cancelled");
            throw media::CCancelException("operation canceled by user..");
        }
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got > 0) {
            try {
                client.sendData(chunk, static_cast<unsigned int>(got));
            } catch (const mycsocks::CSockException& error) {
                log(error.what());
                throw media::CMediaDisconnectException(error.what());
            }
        }
        if (got == sizeof chunk) continue;
        if (std::ferror(file) != 0) {
            throw media::CMediaDisconnectException("ferror(): " +
                                                   std::to_string(std::ferror(file)));
        }
        if (std::feof(file) != 0) return;
    }
}
