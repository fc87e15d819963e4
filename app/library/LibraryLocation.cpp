#include "library/LibraryLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

std::optional<QString> existing(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    const QFileInfo file(path);
    if (!file.isFile()) return std::nullopt;
    return file.absoluteFilePath();
}

// Playlists written on Windows separate folders with "\"; a Linux file name may hold one, so
// this is only the second try.
QString withSlashes(QString text) {
    return text.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

}  // namespace

bool LibraryLocation::isFileUrl(const QString& text) {
    return text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

QString LibraryLocation::fromUrl(const QString& text, const QString& baseFolder) {
    if (text.isEmpty()) return {};
    // Players write URLs percent-encoded, but some leave spaces or non-ASCII letters as they
    // are; tolerant parsing takes both.
    QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid()) return {};
    if (url.scheme().isEmpty()) {
        if (baseFolder.isEmpty()) return {};
        url = QUrl::fromLocalFile(QDir(baseFolder).absolutePath() + QLatin1Char('/')).resolved(url);
    }
    if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) return {};
    url.setScheme(QStringLiteral("file"));
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) url.setHost({});
    if (!url.host().isEmpty()) return {};
    return url.toLocalFile();
}

std::optional<QString> LibraryLocation::existingUrl(const QString& url, const QString& baseFolder) {
    if (auto found = existing(fromUrl(url, baseFolder))) return found;
    if (!url.contains(QLatin1Char('\\'))) return std::nullopt;
    return existing(fromUrl(withSlashes(url), baseFolder));
}

std::optional<QString> LibraryLocation::existingEntry(const QString& entry, const QString& baseFolder) {
    if (isFileUrl(entry)) return existingUrl(entry, baseFolder);
    const auto resolve = [&](const QString& path) {
        if (path.isEmpty()) return std::optional<QString>();
        return existing(QFileInfo(path).isRelative() ? QDir(baseFolder).filePath(path) : path);
    };
    if (auto found = resolve(entry)) return found;
    if (!entry.contains(QLatin1Char('\\'))) return std::nullopt;
    return resolve(withSlashes(entry));
}
