// Turns the locations that music players write into paths of files on this computer: file URLs
// (with or without the "localhost" host), absolute paths, paths relative to the file that names
// them, and paths written on Windows with "\" between folders. Plain functions; any thread.
#pragma once

#include <QString>
#include <optional>

class LibraryLocation {
  public:
    // A URL as a local path: "file:///a%20b.mp3" and "file://localhost/a%20b.mp3" (any case of
    // "localhost": this machine) give "/a b.mp3"; a reference without a scheme is resolved
    // against baseFolder. "" for other schemes (streams) and other hosts.
    static QString fromUrl(const QString& url, const QString& baseFolder = QString());

    // The existing file a URL names (see fromUrl); absent when there is none. A name that
    // matches no file is tried once more with "\" read as the folder separator.
    static std::optional<QString> existingUrl(const QString& url, const QString& baseFolder);

    // The existing file a playlist entry names: a file URL, an absolute path or a path relative
    // to baseFolder. Absent when there is none; a name that matches no file is tried once more
    // with "\" read as the folder separator.
    static std::optional<QString> existingEntry(const QString& entry, const QString& baseFolder);

    // Whether text starts with "file:" in any case.
    static bool isFileUrl(const QString& text);
};
