// What quillory-sync was asked to do, from its command line.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

struct CliOptions {
    enum class Action { Sync, ListPlaylists, Discover, Help };

    Action action = Action::Sync;
    QString library;      // empty: the configured or usual library
    QString musicFolder;  // empty: the configured one, else the library file's folder
    QStringList playlists;
    bool all = false;
    QString host;
    QString port;
    double discoverSeconds = 3.0;
    bool verbose = false;
    bool pipelining = true;  // fast sync unless --no-pipelining
    bool dryRun = false;     // find what the sync would do, change nothing

    // Parses the arguments (without the program name); nothing, with error set, when they do
    // not make sense.
    static std::optional<CliOptions> parse(const QStringList& arguments, QString& error);
    // Splits "HOST:PORT" or "[IPv6]:PORT" into a non-empty host (without the brackets) and a
    // non-empty port; false, leaving both as they were, for anything else (an IPv6 address
    // without brackets among it).
    static bool splitDevice(const QString& text, QString& host, QString& port);
    static QString help();
};
