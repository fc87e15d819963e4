// The text of the line-based playlist files (M3U, PLS, Audacious's): players write UTF-8,
// Latin-1 or, on Windows, UTF-16 with a byte-order mark. Plain functions; any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class PlaylistText {
  public:
    // The lines of text without their line ends, as written (blanks kept). UTF-16 with a
    // byte-order mark is read as such; otherwise each line is UTF-8 when it is valid UTF-8,
    // else Latin-1, and a UTF-8 byte-order mark is dropped.
    static QStringList lines(const QByteArray& text);

    // The key and the value of a "key=value" line, both trimmed; absent for blank lines,
    // comments (# or ;), [section] headings and lines without "=".
    static std::optional<std::pair<QString, QString>> keyValue(const QString& line);
};
