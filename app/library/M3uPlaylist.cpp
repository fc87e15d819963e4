#include "library/M3uPlaylist.h"

#include "library/LibraryLocation.h"
#include "library/PlaylistText.h"

std::vector<LibraryItem> M3uPlaylist::parse(const QByteArray& bytes, const QString& baseFolder) {
    std::vector<LibraryItem> items;
    QString pendingTitle;
    for (const QString& written : PlaylistText::lines(bytes)) {
        const QString line = written.trimmed();
        if (line.isEmpty()) continue;
        if (line.startsWith(QLatin1Char('#'))) {
            if (line.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive)) {
                const qsizetype comma = line.indexOf(QLatin1Char(','));
                pendingTitle = comma >= 0 ? line.mid(comma + 1).trimmed() : QString();
            }
            continue;
        }
        LibraryItem item;
        // Blanks around an entry are usually stray, but may belong to the file's name.
        for (const QString& candidate : {written, line}) {
            item.location = LibraryLocation::existingEntry(candidate, baseFolder);
            if (item.location) break;
        }
        item.title = pendingTitle;
        pendingTitle.clear();
        items.push_back(std::move(item));
    }
    return items;
}
