#include "library/PlsPlaylist.h"

#include <map>

#include "library/LibraryLocation.h"
#include "library/PlaylistText.h"

namespace {

struct Entry {
    std::optional<QString> file;
    QString title;
};

// N of a key that is prefix followed by decimal digits, in any case; absent otherwise.
std::optional<qulonglong> numberOf(const QString& key, QLatin1String prefix) {
    if (!key.startsWith(prefix, Qt::CaseInsensitive) || key.size() == prefix.size()) {
        return std::nullopt;
    }
    const QString digits = key.mid(prefix.size());
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    }
    bool ok = false;
    const qulonglong number = digits.toULongLong(&ok);
    return ok ? std::optional<qulonglong>(number) : std::nullopt;
}

}  // namespace

std::optional<std::vector<LibraryItem>> PlsPlaylist::parse(const QByteArray& bytes,
                                                           const QString& baseFolder,
                                                           QString& error) {
    std::map<qulonglong, Entry> entries;
    bool inPlaylist = false;
    bool sawPlaylist = false;
    for (const QString& written : PlaylistText::lines(bytes)) {
        const QString line = written.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype end = line.indexOf(QLatin1Char(']'));
            inPlaylist =
                end > 0 && line.mid(1, end - 1)
                                   .trimmed()
                                   .compare(QLatin1String("playlist"), Qt::CaseInsensitive) == 0;
            sawPlaylist = sawPlaylist || inPlaylist;
            continue;
        }
        if (!inPlaylist) continue;
        const auto keyValue = PlaylistText::keyValue(line);
        if (!keyValue) continue;
        const auto& [key, value] = *keyValue;
        if (const auto n = numberOf(key, QLatin1String("file"))) {
            entries[*n].file = value;
        } else if (const auto n = numberOf(key, QLatin1String("title"))) {
            entries[*n].title = value;
        }
    }
    if (!sawPlaylist) {
        error = QStringLiteral("not a PLS playlist (no [playlist] section)");
        return std::nullopt;
    }
    std::vector<LibraryItem> items;
    for (auto& [number, entry] : entries) {
        if (!entry.file) continue;
        LibraryItem item;
        item.location = LibraryLocation::existingEntry(*entry.file, baseFolder);
        item.title = std::move(entry.title);
        items.push_back(std::move(item));
    }
    return items;
}
