#include "library/PlaylistText.h"

#include <QStringDecoder>

namespace {

// M3U8 is UTF-8; plain M3U and PLS are often Latin-1. Each line is judged on its own, so that
// one Latin-1 name does not turn the UTF-8 lines around it into mojibake.
QString decode(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(line);
    return utf8.hasError() ? QString::fromLatin1(line) : text;
}

QString withoutCarriageReturn(QString line) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

}  // namespace

QStringList PlaylistText::lines(const QByteArray& text) {
    QStringList lines;
    const bool little = text.startsWith("\xFF\xFE");
    if (little || text.startsWith("\xFE\xFF")) {
        // Read as bytes, every UTF-16 line would be a bogus entry.
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString all = utf16(text.mid(2));
        for (const QString& line : all.split(QLatin1Char('\n'))) {
            lines << withoutCarriageReturn(line);
        }
        return lines;
    }
    const QByteArray bytes = text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text;
    for (const QByteArray& line : bytes.split('\n')) lines << withoutCarriageReturn(decode(line));
    return lines;
}

std::optional<std::pair<QString, QString>> PlaylistText::keyValue(const QString& line) {
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')) ||
        text.startsWith(QLatin1Char('['))) {
        return std::nullopt;
    }
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0) return std::nullopt;
    return std::make_pair(text.left(equals).trimmed(), text.mid(equals + 1).trimmed());
}
