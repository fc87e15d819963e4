// Writes a music library for the end-to-end benchmark: MP3 files of valid MPEG frames with
// ID3v2 tags (artist, album, title) and each album's cover embedded as a JPEG, plus a folder of
// M3U playlists ("lists/All.m3u" with every track) that quillory-sync reads as the library.
//   make_library FOLDER TRACKS ALBUMS TRACK_BYTES
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QBuffer>
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A cover of a few tens of KB that differs per album.
QByteArray cover(int album) {
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((album * 37) % 360, 160, 200));
    QPainter painter(&image);
    for (int i = 0; i < 60; ++i) {
        painter.fillRect((i * 53 + album * 7) % 280, (i * 29 + album * 13) % 280, 20, 20,
                         QColor::fromHsv((album * 11 + i * 17) % 360, 255, 150));
    }
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}

// MPEG-1 Layer III frames at 128 kbit/s, 44.1 kHz: 417 bytes each, silent.
std::string frames(std::size_t bytes, int seed) {
    std::string audio;
    constexpr std::size_t kFrame = 417;
    while (audio.size() + kFrame <= std::max(bytes, kFrame)) {
        std::string frame(kFrame, '\0');
        frame[0] = '\xff';
        frame[1] = '\xfb';
        frame[2] = '\x90';
        frame[3] = '\x64';
        frame[4] = static_cast<char>(seed + audio.size() / kFrame);  // not all files alike
        audio += frame;
    }
    return audio;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: make_library FOLDER TRACKS ALBUMS TRACK_BYTES\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const fs::path root = argv[1];
    const int tracks = std::stoi(argv[2]);
    const int albums = std::max(1, std::stoi(argv[3]));
    const std::size_t bytes = std::stoul(argv[4]);
    fs::create_directories(root / "lists");
    std::ofstream playlist(root / "lists" / "All.m3u");
    playlist << "#EXTM3U\n";
    const int perAlbum = (tracks + albums - 1) / albums;
    QByteArray art;
    for (int i = 0; i < tracks; ++i) {
        const int album = i / perAlbum;
        if (i % perAlbum == 0) art = cover(album);
        const std::string artist = "Artist " + std::to_string(album / 10);
        const std::string albumName = "Album " + std::to_string(album);
        const std::string title = "Track " + std::to_string(i % perAlbum + 1);
        const fs::path relative = fs::path("music") / artist / albumName /
                                  (std::to_string(i % perAlbum + 1) + " " + title + ".mp3");
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << frames(bytes, i);
        TagLib::MPEG::File file((root / relative).c_str());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        tag->setArtist(artist);
        tag->setAlbum(albumName);
        tag->setTitle(title);
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType("image/jpeg");
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setPicture(TagLib::ByteVector(art.constData(), static_cast<unsigned>(art.size())));
        tag->addFrame(picture);  // the tag owns it
        file.save(TagLib::MPEG::File::ID3v2);
        playlist << "../" << relative.string() << "\n";
    }
    return 0;
}
