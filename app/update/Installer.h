// Hands a downloaded package to the system's installer: the first program of a short list found
// on the PATH (graphical package installers first, then xdg-open), started as a separate process
// with the package path as its only argument.
#pragma once

#include <QString>
#include <QStringList>

class Installer {
public:
    // The programs tried, in order.
    static QStringList candidates();
    // The first candidate on the PATH, or "" when there is none.
    static QString find();
    // Starts it with the package; false (and logged) when none was found or it did not start.
    static bool start(const QString& package);
};
