#include "library/PlaylistFolderLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <limits>

#include "library/AudaciousPlaylist.h"
#include "library/M3uPlaylist.h"
#include "library/PlsPlaylist.h"
#include "library/XspfPlaylist.h"

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

namespace {

// Far above any real playlist (one of 10,000 tracks takes about 2 MiB in any of the formats), and
// low enough that a stray huge file with a playlist's extension is not read into memory.
constexpr qint64 kMaxPlaylistBytes = qint64{64} * 1024 * 1024;

bool isAudacious(const QFileInfo& file) {
    return file.suffix().compare(QLatin1String("audpl"), Qt::CaseInsensitive) == 0;
}

// The playlist numbers of Audacious's "order" file, in display order; empty when there is none.
QStringList audaciousOrder(const QDir& dir) {
    QFile order(dir.filePath(QStringLiteral("order")));
    if (!order.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(order.read(kMaxPlaylistBytes))
        .simplified()
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Other files in file-name order (as listed), then the .audpl files in Audacious's order.
void sortForAudacious(QFileInfoList& files, const QStringList& order) {
    const auto rank = [&](const QFileInfo& file) -> qsizetype {
        if (!isAudacious(file)) return -1;
        const qsizetype at = order.indexOf(file.completeBaseName());
        return at >= 0 ? at : std::numeric_limits<qsizetype>::max();
    };
    std::stable_sort(files.begin(), files.end(),
                     [&](const QFileInfo& a, const QFileInfo& b) { return rank(a) < rank(b); });
}

// The playlist in a file; absent, with the reason in error, when it cannot be read.
std::optional<LibraryPlaylist> readPlaylist(const QFileInfo& info, QString& error) {
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxPlaylistBytes) {
        error = QStringLiteral("too large for a playlist (%1 bytes)").arg(file.size());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    const QString base = info.absolutePath();
    const QString suffix = info.suffix().toLower();
    LibraryPlaylist playlist{info.completeBaseName(), {}};
    if (suffix == QLatin1String("xspf") || suffix == QLatin1String("pls")) {
        auto items = suffix == QLatin1String("xspf") ? XspfPlaylist::parse(bytes, base, error)
                                                     : PlsPlaylist::parse(bytes, base, error);
        if (!items) return std::nullopt;
        playlist.items = std::move(*items);
    } else if (suffix == QLatin1String("audpl")) {
        auto audacious = AudaciousPlaylist::parse(bytes, base, error);
        if (!audacious) return std::nullopt;
        if (!audacious->name.isEmpty()) playlist.name = std::move(audacious->name);
        playlist.items = std::move(audacious->items);
    } else {
        playlist.items = M3uPlaylist::parse(bytes, base);
    }
    return playlist;
}

}  // namespace

std::unique_ptr<PlaylistFolderLibrary> PlaylistFolderLibrary::load(const QString& folder,
                                                                   QString& error) {
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) {
        error = folder + QStringLiteral(": no readable playlist folder");
        return nullptr;
    }
    auto library = std::unique_ptr<PlaylistFolderLibrary>(new PlaylistFolderLibrary);
    library->folder = dir.absolutePath();
    // Name filters match in any case.
    QFileInfoList files = dir.entryInfoList(
        {QStringLiteral("*.m3u"), QStringLiteral("*.m3u8"), QStringLiteral("*.xspf"),
         QStringLiteral("*.pls"), QStringLiteral("*.audpl")},
        QDir::Files, QDir::Name | QDir::IgnoreCase);
    sortForAudacious(files, audaciousOrder(dir));
    for (const QFileInfo& info : files) {
        QString why;
        if (auto playlist = readPlaylist(info, why)) {
            library->playlists.push_back(std::move(*playlist));
        } else {
            library->leftOut << info.absoluteFilePath() + QStringLiteral(": ") + why;
            qCWarning(lcLibrary).noquote() << "Playlist left out:" << library->leftOut.back();
        }
    }
    if (library->playlists.empty() && !library->leftOut.isEmpty()) {
        error = QStringLiteral("no playlist file could be read: ") +
                library->leftOut.join(QStringLiteral("; "));
        return nullptr;
    }
    return library;
}
