// Runs one whole sync of a device: plans with the per-device cache, deletes what no chosen
// playlist wants, rewrites the playlists, sends the missing tracks and each album's art once,
// and reports progress.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "media/ITunesMediaFile.h"
#include "media/IWifiMediaTransfer.h"
#include "media/ServerConnectInfo.h"
#include "media/SyncStatusCallback.h"

class MediaCache;
namespace media {
class RemovalJournal;
}

class QUILLORY_EXPORT Synchronizer {
public:
    // transfer and serverInfo must outlive the synchronizer. workingDir holds "db.s3db" and
    // the local playlist files.
    Synchronizer(media::IWifiMediaTransfer& transfer, ServerConnectInfo& serverInfo,
                 std::vector<itunesinfo::ITunesMediaFile> mediaFiles,
                 std::vector<itunesinfo::ITunesMediaFile> otherMediaFiles,
                 std::vector<std::string> playlists, std::string workingDir);
    virtual ~Synchronizer();

    Synchronizer(const Synchronizer&) = delete;
    Synchronizer& operator=(const Synchronizer&) = delete;

    // Runs the sync on the calling thread, reporting through callback (not null) on that
    // thread. Catches nothing: every failure leaves as the media::CMediaException family, and
    // the cache then holds exactly the work done, so the next sync sends what is missing.
    // Does not free the transfer after a failure; its owner does.
    void sync(SyncStatusCallback* callback);

private:
    // Sends the album's art the first time a readable art file is seen for it in this sync;
    // true when it was sent.
    bool syncArt(const itunesinfo::ITunesMediaFile& track, MediaCache& cache,
                 SyncStatusCallback* callback, const std::string& artistDir,
                 const std::string& albumDir);

    // Forgets the journal's deletions once the device has answered after them.
    void confirmRemovals(media::RemovalJournal& journal, const std::string& deviceId);

    media::IWifiMediaTransfer& transfer;
    ServerConnectInfo& serverInfo;
    std::vector<itunesinfo::ITunesMediaFile> mediaFiles;
    std::vector<itunesinfo::ITunesMediaFile> otherMediaFiles;
    std::vector<std::string> playlists;
    std::string workingDir;
    ServerConnectInfo* deviceInfo = nullptr;
    std::map<std::string, int> sentArts;
    int progress = 0;
    bool unconfirmedRemovals = false;
};
