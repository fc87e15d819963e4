#include "link/WifiTransfer.h"

#include <json/value.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "link/CSockException.h"
#include "link/CTcpClient.h"
#include "link/CommandFormatter.h"
#include "link/LinkLimits.h"
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

WifiTransfer::WifiTransfer(int* cancelFlag)
    : client(std::make_unique<mycsocks::CTcpClient>()), cancelFlag(cancelFlag) {
    client->setCancelFlag(cancelFlag);
}

WifiTransfer::~WifiTransfer() {
    free();
}

void WifiTransfer::setHost(std::string value) {
    host = std::move(value);
}

void WifiTransfer::setPort(std::string value) {
    port = std::move(value);
}

void WifiTransfer::attach(int connectedSocket) {
    client->adoptSocket(connectedSocket);
}

void WifiTransfer::setTimeouts(int connectMs, int idleMs) {
    client->setTimeouts(connectMs, idleMs);
}

ServerConnectInfo& WifiTransfer::getServerVersionInfo() {
    return serverInfo;
}

bool WifiTransfer::cancelled() const {
    if (cancelFlag == nullptr) return false;
    return std::atomic_ref<int>(*cancelFlag).load(std::memory_order_relaxed) >= 1;
}

void WifiTransfer::cancel() {
    client->closeclient();
    log("user cancelled");
    throw media::CCancelException("operation canceled by user..");
}

void WifiTransfer::linkFailed(const mycsocks::CSockException& error, bool logged) {
    // A Ctrl-C interrupts whatever blocked call the sync was in; that is a cancel, not a
    // broken connection.
    if (cancelled()) cancel();
    if (logged) log(error.what());
    throw media::CMediaDisconnectException(error.what());
}

void WifiTransfer::init() {
    Logger::log("WifiTransfer", "Tring to connect to host: " + host + ":" + port);
    try {
        client->connectSock(host, port);
    } catch (const mycsocks::CSockException& error) {
        log(error.what());
        throw media::CMediaConnectException(error.what());
    }
    const Members reply = sendCommand({{"command", "version"}, {"number", "quillorymacbeta"}});
    serverInfo = ServerConnectInfo(reply);
}

void WifiTransfer::free() {
    log("free");
    client->closeclient();
}

Members WifiTransfer::sendCommand(Members command) {
    log("sendCommand");
    return sendCommandStr(CommandFormatter::format(command));
}

void WifiTransfer::sendLine(const std::string& line) {
    try {
        client->sendStr(line);
    } catch (const mycsocks::CSockException& error) {
        linkFailed(error, true);
    }
}

Members WifiTransfer::sendCommandStr(const std::string& text) {
    sendLine(text);
    return readCommandReply();
}

Members WifiTransfer::readCommandReply() {
    std::string line;
    try {
        line = client->receiveLine();
    } catch (const mycsocks::CSockException& error) {
        linkFailed(error, true);
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
        line = client->receiveLine();
    } catch (const mycsocks::CSockException& error) {
        linkFailed(error, false);
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

bool WifiTransfer::sendFile(Members command, const std::string& location) {
    // The size announced is the number of bytes sent, whatever happens to the file meanwhile.
    const long size = Utils::getFileSize(location);
    command["size"] = Utils::sizeToString(size);
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
    transmitFile(location, size);
    return checkResponseOK();
}

void WifiTransfer::syncMedia(std::string location, std::string artist, std::string album,
                             std::string fileName) {
    log("syncing media : " + location);
    const bool ok = sendFile(
        {{"album", album}, {"artist", artist}, {"command", "syncmedia"}, {"filename", fileName}},
        location);
    if (!ok) log("checkResponseOK failed");
}

void WifiTransfer::syncArt(std::string location, std::string artist, std::string album,
                           std::string fileName) {
    log("syncing art : " + location);
    sendFile({{"album", album}, {"artist", artist}, {"command", "syncart"}, {"filename", fileName}},
             location);
}

void WifiTransfer::syncPlaylist(std::string location, std::string fileName) {
    log("syncplaylist : " + location);
    sendFile({{"command", "syncplaylist"}, {"filename", fileName}}, location);
}

std::string WifiTransfer::checkCommand(const std::string& location, const std::string& artist,
                                       const std::string& album, const std::string& fileName,
                                       bool refresh) {
    return CommandFormatter::format({{"album", album},
                                     {"artist", artist},
                                     {"command", "check_and_refresh_existing"},
                                     {"dorefresh", refresh ? "yes" : "no"},
                                     {"filename", fileName},
                                     {"size", Utils::sizeToString(Utils::getFileSize(location))}});
}

std::string WifiTransfer::checkAndRefreshExisting(std::string location, std::string artist,
                                                  std::string album, std::string fileName,
                                                  bool refresh) {
    log("syncing media : " + location);
    Members reply = sendCommandStr(checkCommand(location, artist, album, fileName, refresh));
    return reply.count("status") != 0 ? reply["status"] : "";
}

void WifiTransfer::sendCheck(std::string location, std::string artist, std::string album,
                             std::string fileName, bool refresh) {
    log("checking : " + location);
    sendLine(checkCommand(location, artist, album, fileName, refresh));
}

std::string WifiTransfer::readCheckReply() {
    Members reply = readCommandReply();
    return reply.count("status") != 0 ? reply["status"] : "";
}

long WifiTransfer::sendOffer(std::string command, std::string location, std::string artistDir,
                             std::string albumDir, std::string fileName) {
    log("offering " + command + " : " + location);
    const long size = Utils::getFileSize(location);
    sendLine(CommandFormatter::format({{"album", albumDir},
                                       {"artist", artistDir},
                                       {"command", command},
                                       {"filename", fileName},
                                       {"size", Utils::sizeToString(size)}}));
    return size;
}

bool WifiTransfer::readReply() {
    return checkResponseOK();
}

void WifiTransfer::sendFileBytes(std::string location, long size) {
    streamFile(location, size, mycsocks::kFastFileChunkBytes);
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

void WifiTransfer::transmitFile(std::string location, long size) {
    streamFile(location, size, mycsocks::kFileChunkBytes);
}

void WifiTransfer::streamFile(const std::string& location, long size, std::size_t chunkBytes) {
    log("transferring file: " + location);
    // Read ahead in large blocks: small chunks then cost one system call each, the send.
    // The buffer is ours because the C library ignores a size given without one, and it is
    // made before the file so that it outlives it.
    std::vector<char> readAhead(std::size_t{64} * 1024);
    FileTester tester(location.c_str());
    if (!tester.canOpen()) {
        // The device waits for the announced bytes; nothing else may follow on this connection.
        client->closeclient();
        const std::string message = "file could not be opened: " + location;
        log(message);
        throw media::CMediaException(message);
    }
    FILE* file = tester.getFilePointer();
    std::setvbuf(file, readAhead.data(), _IOFBF, readAhead.size());
    // The device reads exactly the announced count of bytes and then the next command. A file
    // that changed size meanwhile can only be sent short or long, which would feed file bytes
    // to the device as commands (or the reverse): close the connection instead, before the
    // last bytes, so the device drops the partial file.
    const auto changed = [&] {
        client->closeclient();
        const std::string message = "the file changed while it was sent: " + location;
        log(message);
        throw media::CMediaException(message);
    };
    const auto currentSize = [&] {
        struct stat info {};
        return ::fstat(fileno(file), &info) == 0 ? static_cast<long>(info.st_size) : -1L;
    };
    if (currentSize() != size) changed();
    // Corked, the chunks leave as full segments and the last one is pushed when the file
    // ends, instead of waiting for the device's delayed acknowledgement.
    client->setCork(true);
    struct Uncork {
        mycsocks::CTcpClient& client;
        ~Uncork() { client.setCork(false); }
    } uncork{*client};
    std::vector<char> chunk(chunkBytes);
    long left = size;
    while (left > 0) {
        if (cancelled()) cancel();
        const std::size_t wanted = std::min(chunk.size(), static_cast<std::size_t>(left));
        const std::size_t got = std::fread(chunk.data(), 1, wanted, file);
        if (got < wanted) {
            if (std::ferror(file) != 0) {
                const int indicator = std::ferror(file);
                client->closeclient();
                throw media::CMediaDisconnectException("ferror(): " + std::to_string(indicator));
            }
            changed();  // the file ended early: it shrank
        }
        left -= static_cast<long>(got);
        if (left == 0 && currentSize() != size) changed();  // it grew (or shrank and regrew)
        try {
            client->sendData(chunk.data(), static_cast<unsigned int>(got));
        } catch (const mycsocks::CSockException& error) {
            linkFailed(error, true);
        }
    }
}
