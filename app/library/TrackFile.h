// What an audio file's own tags say: title, artist, album and the embedded picture, read with
// TagLib from MP3 (ID3v2), MP4/M4A, FLAC and Ogg Vorbis/Opus files. The file is opened on the
// first question and closed with the object.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace TagLib {
class FileRef;
}

class TrackFile {
public:
    explicit TrackFile(QString path);
    ~TrackFile();
    TrackFile(const TrackFile&) = delete;
    TrackFile& operator=(const TrackFile&) = delete;

    // Empty when the file has no such tag or cannot be read.
    QString title();
    QString artist();
    QString album();
    // The embedded picture's bytes as stored (JPEG, PNG, ...), the front cover when there are
    // several; empty when there is none.
    QByteArray picture();

private:
    TagLib::FileRef* file();

    QString path;
    std::unique_ptr<TagLib::FileRef> opened;
    bool tried = false;
};
