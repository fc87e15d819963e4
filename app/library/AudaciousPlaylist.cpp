#include "library/AudaciousPlaylist.h"

#include <QUrl>

#include "library/LibraryLocation.h"
#include "library/PlaylistText.h"

namespace {

QString percentDecoded(const QString& value) {
    return QUrl::fromPercentEncoding(value.toUtf8());
}

}  // namespace

std::optional<LibraryPlaylist> AudaciousPlaylist::parse(const QByteArray& bytes,
                                                        const QString& baseFolder, QString& error) {
    LibraryPlaylist playlist;
    bool titled = false;
    bool anyEntry = false;
    for (const QString& line : PlaylistText::lines(bytes)) {
        const auto keyValue = PlaylistText::keyValue(line);
        if (!keyValue) continue;
        anyEntry = true;
        const auto& [key, value] = *keyValue;
        if (key == QLatin1String("uri")) {
            LibraryItem item;
            item.location = LibraryLocation::existingUrl(value, baseFolder);
            playlist.items.push_back(std::move(item));
        } else if (!playlist.items.empty()) {
            LibraryItem& item = playlist.items.back();
            if (key == QLatin1String("title")) {
                item.title = percentDecoded(value);
            } else if (key == QLatin1String("artist")) {
                item.artist = percentDecoded(value);
            } else if (key == QLatin1String("album")) {
                item.album = percentDecoded(value);
            }
        } else if (key == QLatin1String("title") && !titled) {
            playlist.name = percentDecoded(value);
            titled = true;
        }
    }
    if (!anyEntry && !bytes.trimmed().isEmpty()) {
        error = QStringLiteral("not an Audacious playlist (no key=value line)");
        return std::nullopt;
    }
    return playlist;
}
