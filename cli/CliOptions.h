// What quillory-sync was asked to do, from its command line.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

struct CliOptions {
    enum class Action { Sync, ListPlaylists, Discover, Help, Version };

    Action action = Action::Sync;
    QString library;      // empty: the configured or usual library
    QString musicFolder;  // empty: the configured one, else the library file's folder
    QStringList playlists;
    bool all = false;
    QString host;
    QString port;
    double discoverSeconds = 3.0;
    bool verbose = false;
    bool quiet = false;      // errors only: no progress, no summary
    bool pipelining = true;  // fast sync unless --no-pipelining
    bool dryRun = false;     // find what the sync would do, change nothing

    // Parses the arguments (without the program name); nothing, with error set, when they do
    // not make sense. Takes the usual forms of a Linux command line: short options, bundled
    // ("-av", "-pMix") or apart, and "--option=value" beside "--option value".
    static std::optional<CliOptions> parse(const QStringList& arguments, QString& error);
    // Splits "HOST:PORT" or "[IPv6]:PORT" into a non-empty host (without the brackets) and a
    // non-empty port; false, leaving both as they were, for anything else (an IPv6 address
    // without brackets among it).
    static bool splitDevice(const QString& text, QString& host, QString& port);
    // The text of --help, every line within 80 columns.
    static QString help();
    // The text of --version: "quillory-sync 1.0.0" and a line break.
    static QString version();
};
