#include "library/TrackFile.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace {

QByteArray bytesOf(const TagLib::ByteVector& data) {
    return QByteArray(data.data(), static_cast<qsizetype>(data.size()));
}

// The front cover if there is one, else the first picture.
QByteArray pick(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    for (const TagLib::FLAC::Picture* picture : pictures) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover) return bytesOf(picture->data());
    }
    return pictures.isEmpty() ? QByteArray() : bytesOf(pictures.front()->data());
}

QByteArray pick(TagLib::ID3v2::Tag* tag) {
    if (tag == nullptr) return {};
    const TagLib::ID3v2::FrameList frames = tag->frameListMap()["APIC"];
    QByteArray first;
    for (TagLib::ID3v2::Frame* frame : frames) {
        const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (picture == nullptr) continue;
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
            return bytesOf(picture->picture());
        }
        if (first.isEmpty()) first = bytesOf(picture->picture());
    }
    return first;
}

QByteArray pick(TagLib::Ogg::XiphComment* comment) {
    return comment == nullptr ? QByteArray() : pick(comment->pictureList());
}

QString text(const TagLib::String& value) {
    return QString::fromStdString(value.to8Bit(true)).trimmed();
}

}  // namespace

TrackFile::TrackFile(QString path) : path(std::move(path)) {}

TrackFile::~TrackFile() = default;

TagLib::FileRef* TrackFile::file() {
    if (!tried) {
        tried = true;
        auto ref = std::make_unique<TagLib::FileRef>(path.toLocal8Bit().constData(), false);
        if (!ref->isNull() && ref->tag() != nullptr) opened = std::move(ref);
    }
    return opened.get();
}

QString TrackFile::title() {
    return file() != nullptr ? text(file()->tag()->title()) : QString();
}

QString TrackFile::artist() {
    return file() != nullptr ? text(file()->tag()->artist()) : QString();
}

QString TrackFile::album() {
    return file() != nullptr ? text(file()->tag()->album()) : QString();
}

QByteArray TrackFile::picture() {
    if (file() == nullptr) return {};
    TagLib::File* base = file()->file();
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(base)) return pick(mpeg->ID3v2Tag());
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(base)) {
        const QByteArray own = pick(flac->pictureList());
        return own.isEmpty() ? pick(flac->xiphComment()) : own;
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(base)) {
        TagLib::MP4::Tag* tag = mp4->tag();
        if (tag == nullptr || !tag->contains("covr")) return {};
        const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
        return covers.isEmpty() ? QByteArray() : bytesOf(covers.front().data());
    }
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(base)) return pick(vorbis->tag());
    if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(base)) return pick(opus->tag());
    return {};
}
