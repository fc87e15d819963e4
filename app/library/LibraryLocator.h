// Finds the music library to read: the QUILLORY_LIBRARY environment variable, else the path kept
// in the program's settings, else the first of the usual places that exists.
#pragma once

#include <QString>
#include <QStringList>

class LibraryLocator {
public:
    // The settings key of the chosen library path.
    static constexpr const char* kSettingsKey = "library";

    // The library path to use, or "" when none is configured and none was found.
    static QString locate();
    // The usual places, in the order they are tried: an exported Library.xml under ~/Music, the
    // music folder's Playlists, MPD's playlist folders.
    static QStringList usualPlaces();
    // Keeps path as the user's choice.
    static void choose(const QString& path);
};
