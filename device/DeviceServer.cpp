#include "DeviceServer.h"

#include <json/json.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "PartsFolder.h"
#include "PendingFile.h"
#include "link/CommandReader.h"
#include "util/Utils.h"

namespace {

std::string systemError(const std::string& what) {
    return what + ": " + std::generic_category().message(errno);
}

// A size member: plain decimal digits that fit 64 bits, nothing else.
bool parseSize(const std::string& text, uint64_t& size) {
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    size = std::stoull(text);
    return true;
}

std::string text(const std::map<std::string, std::string>& command, const char* key) {
    const auto member = command.find(key);
    return member != command.end() ? member->second : "";
}

ClientConnection::Clock::duration seconds(double count) {
    return std::chrono::duration_cast<ClientConnection::Clock::duration>(
        std::chrono::duration<double>(count));
}

// Why a client was let go, for the log; "" for an ordinary close.
const char* endReason(ClientConnection::Read read) {
    switch (read) {
        case ClientConnection::Read::TimedOut:
            return "too slow or silent too long";
        case ClientConnection::Read::Superseded:
            return "silent, and a new client is waiting";
        case ClientConnection::Read::Failed:
            return "connection failed";
        default:
            return "";
    }
}

}  // namespace

DeviceServer::DeviceServer(DeviceOptions settings)
    : options(std::move(settings)), files(options.root), faults(options.fault) {
    char host[256] = "localhost";
    gethostname(host, sizeof host - 1);
    if (options.deviceName.empty()) options.deviceName = host;
    if (options.deviceId.empty())
        options.deviceId = std::string(host) + ":" + files.root().string();
    if (options.syncLocation.empty()) options.syncLocation = files.root().string();
    if (pipe(wakeFds) != 0) throw std::runtime_error(systemError("pipe"));
}

DeviceServer::~DeviceServer() {
    if (listenFd >= 0) ::close(listenFd);
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
}

int DeviceServer::listen() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    const int resolved = getaddrinfo(options.listenAddress.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) {
        throw std::runtime_error(options.listenAddress + ": " + gai_strerror(resolved));
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, freeaddrinfo);
    // Non-blocking: a client that gives up between poll() and accept() must not hang run().
    listenFd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                        found->ai_protocol);
    if (listenFd < 0) throw std::runtime_error(systemError("socket"));
    const int on = 1;
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listenFd, found->ai_addr, found->ai_addrlen) != 0) {
        throw std::runtime_error(systemError("bind " + options.listenAddress + ":" + port));
    }
    if (::listen(listenFd, 8) != 0) throw std::runtime_error(systemError("listen"));
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &length);
    options.port =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return options.port;
}

void DeviceServer::stop() {
    stopping = true;
    // The pipe is never drained: every wait of run() and of the client in hand sees it.
    const char wake = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFds[1], &wake, 1);
}

void DeviceServer::setFault(const FaultPlan& fault) {
    faults.arm(fault);
}

bool DeviceServer::waitUntilIdle(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(servingMutex);
    return servingChanged.wait_for(lock, bound, [this] { return !serving; });
}

void DeviceServer::setServing(bool now) {
    {
        const std::lock_guard<std::mutex> lock(servingMutex);
        serving = now;
    }
    servingChanged.notify_all();
}

ClientConnection::Limits DeviceServer::limits() const {
    ClientConnection::Limits limits;
    limits.idle = std::chrono::seconds(options.idleTimeoutSeconds);
    limits.line = seconds(options.lineTimeoutSeconds);
    limits.takeover = seconds(options.takeoverSeconds);
    limits.minFileRate = options.minFileRate;
    return limits;
}

void DeviceServer::run() {
    while (!stopping) {
        pollfd waiting[2] = {{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        if (poll(waiting, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(systemError("poll"));
        }
        if (stopping || (waiting[1].revents & POLLIN) != 0) break;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        setServing(true);
        try {
            // The listening socket is the rival: a newcomer there ends a silent client's turn.
            ClientConnection client(fd, limits(), wakeFds[0], listenFd);
            serve(client);
        } catch (const std::exception& failure) {
            // One client's trouble (a file system error, memory) is not the server's end.
            std::cerr << "quillory-device: dropping the client: " << failure.what() << "\n";
        }
        setServing(false);
    }
}

void DeviceServer::serveConnection(int fd) {
    ClientConnection client(fd, limits(), wakeFds[0]);
    serve(client);
}

void DeviceServer::serve(ClientConnection& client) {
    PartsFolder parts(files);
    std::string line;
    while (!stopping) {
        const ClientConnection::Read read = client.readLine(line, options.maxLineBytes);
        if (read == ClientConnection::Read::TooLong) {
            std::cerr << "quillory-device: command line longer than " << options.maxLineBytes
                      << " bytes, closing the connection\n";
            refuse(client, "command line too long");
            return;
        }
        if (read != ClientConnection::Read::Ok) {
            const std::string why = endReason(read);
            if (!why.empty()) std::cerr << "quillory-device: closing a client: " << why << "\n";
            return;
        }
        logCommand(line);
        if (handle(client, parts, line) == Next::Close) return;
    }
}

void DeviceServer::logCommand(const std::string& line) {
    if (options.commandLog.empty()) return;
    std::ofstream(options.commandLog, std::ios::app | std::ios::binary) << line;
}

bool DeviceServer::reply(ClientConnection& client, const Json::Value& members) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return client.sendLine(Json::writeString(builder, members));
}

bool DeviceServer::refuse(ClientConnection& client, const std::string& reason) {
    Json::Value members(Json::objectValue);
    members["response"] = "fail";
    members["reason"] = reason;
    std::cerr << "quillory-device: refused: " << reason << "\n";
    return reply(client, members);
}

DeviceServer::Next DeviceServer::handle(ClientConnection& client, PartsFolder& parts,
                                        const std::string& line) {
    // The engine's door for outside JSON: never throws, and refuses nesting no command needs.
    const std::optional<Command> parsed = CommandReader::parse(line);
    if (!parsed) return refuse(client, "malformed command") ? Next::Continue : Next::Close;
    const Command& command = *parsed;
    const std::string name = command.at("command");
    // An armed fault may answer in the command's place; one that changes how the command ends
    // is asked about where it acts.
    if (const std::optional<FaultPlan> fault = faults.onCommand(name)) {
        return answerWithFault(client, *fault, name);
    }

    if (name == "version") return version(client);
    if (name == "syncmedia" || name == "syncart") {
        return receiveFile(client, parts, name, command, false);
    }
    if (name == "syncplaylist") return receiveFile(client, parts, name, command, true);
    if (name == "check_and_refresh_existing") return checkExisting(client, command);
    if (name == "delete") {
        remove(command);
        return Next::Continue;
    }
    if (name == "removeplaylists") {
        files.removePlaylists();
        return Next::Continue;
    }
    if (name == "bye") {
        Json::Value members(Json::objectValue);
        members["response"] = "ok";
        reply(client, members);
        return Next::Close;
    }
    return refuse(client, "unknown command " + name) ? Next::Continue : Next::Close;
}

DeviceServer::Next DeviceServer::answerWithFault(ClientConnection& client, const FaultPlan& fault,
                                                 const std::string& name) {
    Json::Value members(Json::objectValue);
    switch (fault.kind) {
        case FaultPlan::Kind::Refuse:
            // A command the client expects no reply to gets none.
            if (name == "delete" || name == "removeplaylists") return Next::Continue;
            return refuse(client, fault.argument) ? Next::Continue : Next::Close;
        case FaultPlan::Kind::Garbage:
            return client.sendLine("this is not json") ? Next::Continue : Next::Close;
        case FaultPlan::Kind::NoResponse:
            members["status"] = "none";
            return reply(client, members) ? Next::Continue : Next::Close;
        case FaultPlan::Kind::OtherResponse:
            members["response"] = "busy";
            return reply(client, members) ? Next::Continue : Next::Close;
        case FaultPlan::Kind::Stall: {
            std::string ignored;
            while (!stopping &&
                   client.readLine(ignored, options.maxLineBytes) == ClientConnection::Read::Ok) {
            }
            return Next::Close;
        }
        case FaultPlan::Kind::Close:
        default:  // onCommand answers with no other kind
            return Next::Close;
    }
}

DeviceServer::Next DeviceServer::version(ClientConnection& client) {
    Json::Value members(Json::objectValue);
    members["response"] = "ok";
    members["versionname"] = options.versionName;
    members["versioncode"] = options.versionCode;
    members["package"] = options.package;
    // A device app of protocol 1.0 sent no identity, one of 1.1 no protocol version.
    if (Utils::compareVersion(options.protocol, "1.1") >= 0) {
        members["deviceid"] = options.deviceId;
        members["devicename"] = options.deviceName;
        members["synclocation"] = options.syncLocation;
        members["extra"] = "";
    }
    if (Utils::compareVersion(options.protocol, "2.0") >= 0) {
        members["server.protocol.version"] = options.protocol;
    }
    if (!reply(client, members)) return Next::Close;
    return faults.closeAfterReply() ? Next::Close : Next::Continue;
}

DeviceServer::Next DeviceServer::receiveFile(ClientConnection& client, PartsFolder& parts,
                                             const std::string& name, const Command& command,
                                             bool playlist) {
    DeviceStore::Place target;
    const std::string fileName = text(command, "filename");
    std::string reason = playlist ? files.playlistPath(fileName, target)
                                  : files.mediaPath(text(command, "artist"), text(command, "album"),
                                                    fileName, target);
    uint64_t size = 0;
    if (reason.empty() && !parseSize(text(command, "size"), size)) {
        reason = "size is not a non-negative decimal number";
    }
    if (reason.empty() && size > files.freeBytes()) reason = "not enough free space";
    if (!reason.empty()) return refuse(client, reason) ? Next::Continue : Next::Close;

    Json::Value ok(Json::objectValue);
    ok["response"] = "ok";
    if (!reply(client, ok) || faults.closeAfterReply()) return Next::Close;
    // The file is made while the first bytes are on their way. Should that (or, at the commit,
    // making its folders) fail, the bytes are still taken and the second reply refuses.
    PendingFile pending(files, parts, target);

    const uint64_t wanted = faults.bytesToTake(size);
    const auto started = ClientConnection::Clock::now();
    uint64_t taken = 0;
    const ClientConnection::Read read =
        client.readBytes(wanted, [&](const char* bytes, std::size_t length) {
            pending.write(bytes, length);
            taken += length;
            faults.pace(client, started, taken);
        });
    if (read != ClientConnection::Read::Ok) {
        const std::string why = endReason(read);
        std::cerr << "quillory-device: client " << (why.empty() ? "went away" : why) << " during "
                  << target.relative() << ", dropping the partial file\n";
        return Next::Close;
    }
    if (wanted < size || faults.closeBeforeSecondReply()) return Next::Close;
    if (!pending.commit()) return refuse(client, pending.failure()) ? Next::Continue : Next::Close;
    // The client waits for this answer before its next file: answer first, log after.
    const bool answered = !faults.closeAfterStoring() && reply(client, ok);
    std::cerr << "quillory-device: " << name << " " << target.relative() << " (" << size
              << " bytes)\n";
    return answered ? Next::Continue : Next::Close;
}

DeviceServer::Next DeviceServer::checkExisting(ClientConnection& client, const Command& command) {
    DeviceStore::Place target;
    // The engine asks with the library's names; the files lie under the cleaned folder names.
    std::string reason = files.mediaPath(Utils::makeValidDirName(text(command, "artist")),
                                         Utils::makeValidDirName(text(command, "album")),
                                         text(command, "filename"), target);
    uint64_t size = 0;
    if (reason.empty() && !parseSize(text(command, "size"), size)) {
        reason = "size is not a non-negative decimal number";
    }
    if (!reason.empty()) return refuse(client, reason) ? Next::Continue : Next::Close;
    Json::Value members(Json::objectValue);
    members["response"] = "ok";
    members["status"] = files.check(target, size, text(command, "dorefresh") == "yes");
    if (!reply(client, members)) return Next::Close;
    return faults.closeAfterReply() ? Next::Close : Next::Continue;
}

void DeviceServer::remove(const Command& command) {
    DeviceStore::Place target;
    const std::string reason = files.mediaPath(text(command, "artist"), text(command, "album"),
                                               text(command, "filename"), target);
    if (!reason.empty()) {
        std::cerr << "quillory-device: delete refused: " << reason << "\n";
        return;
    }
    files.remove(target);
    std::cerr << "quillory-device: deleted " << target.relative() << "\n";
}
