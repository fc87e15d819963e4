#include "M3uLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "LibraryLocation.h"

namespace {

// M3U8 is UTF-8; plain M3U is often Latin-1. Take UTF-8 when the bytes are valid UTF-8.
QString decode(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(line);
    return utf8.hasError() ? QString::fromLatin1(line) : text;
}

// Some Windows players write UTF-16 with a byte-order mark; read as bytes, every line would be
// a bogus entry. Such text is converted to UTF-8 before it is split into lines.
QByteArray withoutByteOrderMark(const QByteArray& text) {
    if (text.startsWith("\xEF\xBB\xBF")) return text.mid(3);
    const bool little = text.startsWith("\xFF\xFE");
    if (!little && !text.startsWith("\xFE\xFF")) return text;
    QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    return QString(utf16(text.mid(2))).toUtf8();
}

}  // namespace

std::vector<LibraryItem> M3uLibrary::parse(const QByteArray& text, const QString& base) {
    std::vector<LibraryItem> items;
    const QByteArray bytes = withoutByteOrderMark(text);
    QString pendingTitle;
    for (QByteArray raw : bytes.split('\n')) {
        if (raw.endsWith('\r')) raw.chop(1);
        const QString line = decode(raw).trimmed();
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
        const QString untrimmed = decode(raw);
        for (const QString& candidate : {untrimmed, line}) {
            item.location = LibraryLocation::existingEntry(candidate, base);
            if (item.location) break;
        }
        item.title = pendingTitle;
        pendingTitle.clear();
        items.push_back(std::move(item));
    }
    return items;
}

std::unique_ptr<M3uLibrary> M3uLibrary::load(const QString& folder, QString& error) {
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) {
        error = folder + QStringLiteral(": no readable playlist folder");
        return nullptr;
    }
    auto library = std::unique_ptr<M3uLibrary>(new M3uLibrary);
    library->folder = dir.absolutePath();
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.m3u"), QStringLiteral("*.m3u8")},
                          QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        library->playlists.push_back(
            {info.completeBaseName(), parse(file.readAll(), info.absolutePath())});
    }
    return library;
}
