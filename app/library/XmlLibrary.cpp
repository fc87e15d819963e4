#include "library/XmlLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cstring>
#include <pugixml.hpp>
#include <unordered_map>

#include "library/LibraryLocation.h"

namespace {

// The value element that follows <key>name</key> in a plist dict, or an empty node.
pugi::xml_node valueOf(const pugi::xml_node& dict, const char* name) {
    for (pugi::xml_node key = dict.child("key"); key; key = key.next_sibling("key")) {
        if (std::strcmp(key.text().get(), name) == 0) return key.next_sibling();
    }
    return {};
}

QString textOf(const pugi::xml_node& dict, const char* name) {
    const pugi::xml_node value = valueOf(dict, name);
    return std::strcmp(value.name(), "string") == 0 ? QString::fromUtf8(value.text().get())
                                                    : QString();
}

// The decoded path of a URL, for comparing locations written on another computer.
QString urlPath(const QString& location) {
    return QUrl(location, QUrl::TolerantMode).path(QUrl::FullyDecoded);
}

// Where a track of a library moved from another computer is now: its path relative to the old
// music folder, under the new one. Windows paths compare without regard to case.
std::optional<QString> movedFile(const QString& location, const QString& oldFolder,
                                 const QString& newFolder) {
    if (oldFolder.isEmpty()) return std::nullopt;
    const QString path = urlPath(location);
    if (!path.startsWith(oldFolder, Qt::CaseInsensitive)) return std::nullopt;
    return LibraryLocation::existingEntry(path.mid(oldFolder.size()), newFolder);
}

}  // namespace

std::unique_ptr<XmlLibrary> XmlLibrary::load(const QString& path, const QString& musicFolder,
                                             QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + QStringLiteral(": ") + file.errorString();
        return nullptr;
    }
    return parse(file.readAll(), path, musicFolder, error);
}

std::unique_ptr<XmlLibrary> XmlLibrary::parse(const QByteArray& xml, const QString& path,
                                              const QString& musicFolder, QString& error) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(xml.constData(), static_cast<std::size_t>(xml.size()));
    if (!parsed) {
        error = QStringLiteral("%1: %2 at byte %3")
                    .arg(path, QString::fromUtf8(parsed.description()))
                    .arg(parsed.offset);
        return nullptr;
    }
    const pugi::xml_node root = document.child("plist").child("dict");
    const pugi::xml_node tracks = valueOf(root, "Tracks");
    const pugi::xml_node lists = valueOf(root, "Playlists");
    if (std::strcmp(tracks.name(), "dict") != 0 || std::strcmp(lists.name(), "array") != 0) {
        error = path + QStringLiteral(": not a music library (no Tracks or Playlists)");
        return nullptr;
    }

    const QString libraryFolder = QFileInfo(path).absolutePath();
    const QString newFolder = musicFolder.isEmpty() ? libraryFolder : musicFolder;
    QString oldFolder = urlPath(textOf(root, "Music Folder"));
    if (!oldFolder.isEmpty() && !oldFolder.endsWith(QLatin1Char('/'))) oldFolder += QLatin1Char('/');
    std::unordered_map<std::string, LibraryItem> byId;
    for (pugi::xml_node key = tracks.child("key"); key; key = key.next_sibling("key")) {
        const pugi::xml_node track = key.next_sibling();
        if (std::strcmp(track.name(), "dict") != 0) continue;
        LibraryItem item;
        const QString location = textOf(track, "Location");
        item.location = LibraryLocation::existingUrl(location, libraryFolder);
        if (!item.location) item.location = movedFile(location, oldFolder, newFolder);
        item.title = textOf(track, "Name");
        item.artist = textOf(track, "Artist");
        item.album = textOf(track, "Album");
        byId[key.text().get()] = std::move(item);
    }

    auto library = std::unique_ptr<XmlLibrary>(new XmlLibrary);
    library->path = path;
    for (pugi::xml_node entry = lists.child("dict"); entry; entry = entry.next_sibling("dict")) {
        LibraryPlaylist playlist;
        playlist.name = textOf(entry, "Name");
        const pugi::xml_node items = valueOf(entry, "Playlist Items");
        for (pugi::xml_node ref = items.child("dict"); ref; ref = ref.next_sibling("dict")) {
            const auto found = byId.find(valueOf(ref, "Track ID").text().get());
            if (found != byId.end()) playlist.items.push_back(found->second);
        }
        library->playlists.push_back(std::move(playlist));
    }
    return library;
}
