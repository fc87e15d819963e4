// quillory-device: makes a folder of this machine a sync target for Quillory.
#include <signal.h>

#include <iostream>
#include <memory>

#include "Announcer.h"
#include "DeviceServer.h"
#include "SignalStopper.h"

int main(int argc, char** argv) {
    std::string error;
    std::string answer;
    const std::optional<DeviceOptions> options = DeviceOptions::parse(argc, argv, error, answer);
    if (!options) {
        if (error.empty()) {
            std::cout << answer;
            return 0;
        }
        std::cerr << "quillory-device: " << error << "\nTry quillory-device --help.\n";
        return 2;
    }

    // SIGINT and SIGTERM are taken by a thread of their own, which stops the server cleanly;
    // blocked before any thread starts, so that no other thread takes them.
    SignalStopper::block();
    signal(SIGPIPE, SIG_IGN);

    try {
        DeviceServer server(*options);
        const int port = server.listen();
        std::cout << "listening on " << options->listenAddress << ":" << port << std::endl;
        std::cerr << "quillory-device: serving " << server.store().root().string() << " as \""
                  << server.settings().deviceName << "\", protocol " << options->protocol << "\n";

        std::unique_ptr<Announcer> announcer;
        if (options->announceInterval > 0) {
            std::string ip = options->announceIp;
            if (ip.empty()) {
                ip = options->listenAddress != "0.0.0.0" && options->listenAddress != "::"
                         ? options->listenAddress
                         : Announcer::outgoingAddress(options->announceInterface);
            }
            announcer =
                std::make_unique<Announcer>(ip, port, options->product, options->announceInterval,
                                            options->announceTtl, options->announceInterface);
            std::cerr << "quillory-device: announcing " << announcer->message() << "\n";
        }

        // Declared after the server, so joined before the server is destroyed.
        const SignalStopper stopper([&server] { server.stop(); });
        server.run();
    } catch (const std::exception& failure) {
        std::cerr << "quillory-device: " << failure.what() << "\n";
        return 1;
    }
    return 0;
}
