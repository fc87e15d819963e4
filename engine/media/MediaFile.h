// One track as the engine plans it: where it lives on the device and where it stands in a sync.
#pragma once

#include <string>

#include "quillory_export.h"

namespace media {

class QUILLORY_EXPORT MediaFile {
public:
    enum SyncStatus : int {
        STATUS_NEW = 0,         // the device does not hold it as far as the cache knows
        STATUS_SYNCED = 10,     // the cache says the device holds it
        STATUS_UNCHECKED = 15,  // not yet compared with the cache
    };

    MediaFile(std::string artist, std::string album, std::string fileName, SyncStatus status);
    MediaFile(const MediaFile&) = default;
    MediaFile& operator=(const MediaFile&) = default;
    virtual ~MediaFile() = default;

    std::string getArtist() const { return artist; }
    std::string getAlbum() const { return album; }
    std::string getFileName() const { return fileName; }
    SyncStatus getStatus() const { return status; }
    void setStatus(SyncStatus value) { status = value; }

protected:
    std::string artist;
    std::string album;
    std::string fileName;
    SyncStatus status;
};

}  // namespace media
