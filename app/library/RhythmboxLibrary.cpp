#include "library/RhythmboxLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <cstring>
#include <pugixml.hpp>
#include <string_view>
#include <unordered_map>

#include "library/LibraryLocation.h"

namespace {

const QLatin1String kDatabase("rhythmdb.xml");
const QLatin1String kPlaylists("playlists.xml");

// Parses one of the two files into document; false, with the reason naming the file, when it is
// not well-formed or its root element is not root.
bool parseFile(pugi::xml_document& document, const QByteArray& bytes, const QString& file,
               const char* root, QString& error) {
    const pugi::xml_parse_result parsed =
        document.load_buffer(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (!parsed) {
        error = QStringLiteral("%1: %2 at byte %3")
                    .arg(file, QString::fromUtf8(parsed.description()))
                    .arg(parsed.offset);
        return false;
    }
    if (std::strcmp(document.document_element().name(), root) != 0) {
        error = QStringLiteral("%1: not Rhythmbox's (no <%2> root element)")
                    .arg(file, QLatin1String(root));
        return false;
    }
    return true;
}

QString textOf(const pugi::xml_node& entry, const char* name) {
    return QString::fromUtf8(entry.child(name).text().get());
}

}  // namespace

std::unique_ptr<RhythmboxLibrary> RhythmboxLibrary::load(const QString& folder, QString& error) {
    const QDir dir(folder);
    QFile database(dir.filePath(kDatabase));
    if (!database.open(QIODevice::ReadOnly)) {
        error = database.fileName() + QStringLiteral(": ") + database.errorString();
        return nullptr;
    }
    std::optional<QByteArray> playlists;
    QFile lists(dir.filePath(kPlaylists));
    if (lists.exists()) {
        if (!lists.open(QIODevice::ReadOnly)) {
            error = lists.fileName() + QStringLiteral(": ") + lists.errorString();
            return nullptr;
        }
        playlists = lists.readAll();
    }
    return parse(database.readAll(), playlists, dir.absolutePath(), error);
}

std::unique_ptr<RhythmboxLibrary> RhythmboxLibrary::parse(
    const QByteArray& rhythmdb, const std::optional<QByteArray>& playlists, const QString& folder,
    QString& error) {
    const QDir dir(folder);
    pugi::xml_document database;
    if (!parseFile(database, rhythmdb, dir.filePath(kDatabase), "rhythmdb", error)) return nullptr;
    pugi::xml_document lists;
    if (playlists &&
        !parseFile(lists, *playlists, dir.filePath(kPlaylists), "rhythmdb-playlists", error)) {
        return nullptr;
    }

    // Keyed by the location as written: Rhythmbox writes a playlist's locations from its
    // entries, and looks them up by the same text.
    std::unordered_map<std::string_view, pugi::xml_node> songs;
    for (const pugi::xml_node entry : database.document_element().children("entry")) {
        if (std::strcmp(entry.attribute("type").value(), "song") != 0) continue;
        const std::string_view location = entry.child("location").text().get();
        if (!location.empty()) songs.emplace(location, entry);
    }

    auto library = std::unique_ptr<RhythmboxLibrary>(new RhythmboxLibrary);
    library->folder = folder;
    for (const pugi::xml_node list : lists.document_element().children("playlist")) {
        if (std::strcmp(list.attribute("type").value(), "static") != 0) continue;
        LibraryPlaylist playlist;
        playlist.name = QString::fromUtf8(list.attribute("name").value());
        for (const pugi::xml_node ref : list.children("location")) {
            const char* location = ref.text().get();
            LibraryItem item;
            item.location = LibraryLocation::existingUrl(QString::fromUtf8(location), folder);
            const auto song = songs.find(location);
            if (song != songs.end()) {
                item.title = textOf(song->second, "title");
                item.artist = textOf(song->second, "artist");
                item.album = textOf(song->second, "album");
            }
            playlist.items.push_back(std::move(item));
        }
        library->playlists.push_back(std::move(playlist));
    }
    return library;
}

std::optional<QString> RhythmboxLibrary::folderOf(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        if (!QFileInfo::exists(QDir(path).filePath(kDatabase))) return std::nullopt;
        return info.absoluteFilePath();
    }
    if (!info.isFile()) return std::nullopt;
    QString root;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // Stops at the first start tag, so only the start of a large file is read.
        QXmlStreamReader reader(&file);
        if (reader.readNextStartElement()) root = reader.qualifiedName().toString();
    }
    const QString name = info.fileName();
    const bool ours = root.isEmpty() ? name == kDatabase || name == kPlaylists
                                     : root == QLatin1String("rhythmdb") ||
                                           root == QLatin1String("rhythmdb-playlists");
    if (!ours) return std::nullopt;
    return info.absolutePath();
}
