// The user's own folder for the files the program writes outside its working folder (exported
// album art, the downloaded update package): "quillory" in the user's cache folder, mode 0700.
// A shared folder such as /tmp would let another local user plant symbolic links there and make
// the program overwrite any file its user can write; so the folder is checked before use and
// files are written into it without ever following a link. Any thread.
#pragma once

#include <QByteArray>
#include <QString>

class PrivateFolder {
  public:
    // The folder's path: "quillory" in the user's cache folder ($XDG_CACHE_HOME, else
    // ~/.cache), or in the runtime folder when there is no cache folder.
    static QString path();
    // Makes the folder (mode 0700, parents as needed) when it is missing and checks it: a real
    // folder, not a link, owned by this user; a wider mode is narrowed to 0700. Returns its
    // path, or "" (logged) when it cannot be used.
    static QString ensure(const QString& folder = path());
    // Opens name (one path component) in folder for writing, created with mode 0600 or
    // truncated. Never follows a symbolic link: a link or anything but a regular file under that
    // name is removed and a new file made. A descriptor the caller closes, or -1.
    static int openForWriting(const QString& folder, const QString& name);
    // Writes bytes to name in folder as openForWriting does; false when any of it failed.
    static bool writeFile(const QString& folder, const QString& name, const QByteArray& bytes);
};
