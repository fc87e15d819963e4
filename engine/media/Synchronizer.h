// Runs one whole sync of a device: plans with the per-device cache, deletes what no chosen
// playlist wants, rewrites the playlists, sends the missing tracks and each album's art once,
// and reports progress.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "media/IPipelinedTransfer.h"
#include "media/ITunesMediaFile.h"
#include "media/IWifiMediaTransfer.h"
#include "media/ServerConnectInfo.h"
#include "media/SyncStatusCallback.h"
#include "quillory_export.h"

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

    // How the tracks and art are sent. The defaults send one command at a time and every
    // album's art in every sync.
    struct Options {
        // When the transfer also implements media::IPipelinedTransfer: existence checks go out
        // in a window of checkWindow commands, each file is offered before the previous one's
        // last reply is read, and an album's art is sent again only when its bytes differ from
        // those last sent to the device or a device of protocol 2.0 or newer reports it missing
        // or of another size. The calls made through media::IWifiMediaTransfer are then the
        // handshake, the deletions, the playlists and free.
        bool fast = false;
        std::size_t checkWindow = 64;
    };
    // Call before sync.
    void setOptions(const Options& chosen) { options = chosen; }

    // Runs the sync on the calling thread, reporting through callback (not null) on that
    // thread. Catches nothing: every failure leaves as the media::CMediaException family, and
    // the cache then holds exactly the work done, so the next sync sends what is missing.
    // Does not free the transfer after a failure; its owner does.
    void sync(SyncStatusCallback* callback);

    // What the last sync did, counted in tracks (album art and playlists not counted).
    struct Summary {
        int sent = 0;      // tracks sent (new, or re-sent because the device lacked them)
        int deleted = 0;   // tracks deleted from the device because no playlist wants them
        int present = 0;   // wanted tracks the device already held
        int skipped = 0;   // wanted tracks whose local file could not be read
        int declined = 0;  // tracks the device declined (see getDeclinedFiles)
    };
    // Valid after sync returns; counts the work done so far when it threw.
    const Summary& getSummary() const { return summary; }

    // The files the device declined in the last sync (it answered a file's offer with neither
    // "ok" nor "fail"), as "artist/album/file name" with the library's names, in sync order.
    // They were skipped without a cache row, so the next sync offers them again.
    const std::vector<std::string>& getDeclinedFiles() const { return declinedFiles; }

    // What sync would do now, found without changing anything: the device is only asked which
    // files it holds (protocol 2.0 and newer, as sync asks, but without refreshing them), and
    // the cache and the removal journal are read, never written. The device may still decline
    // a file or fail when the sync runs. Runs on the calling thread, reporting through callback
    // (not null); throws as sync does, and leaves the transfer closed when it returns.
    struct Preview {
        // "artist/album/file name" with the library's names (art as "AlbumArt.jpg"), in the
        // order sync sends and deletes them.
        std::vector<std::string> send;
        std::vector<std::string> remove;
        int present = 0;  // wanted tracks the device already holds
        int skipped = 0;  // wanted tracks whose local file cannot be read
    };
    Preview preview(SyncStatusCallback* callback);

  private:
    struct Run;

    // The phases of sync, in order.
    // Leaves the wanted tracks marked, the working connection open and the journal settled.
    void plan(Run& run);
    // Deletes what no playlist wants: each file journalled, then unlisted, then deleted.
    void deleteUnwanted(Run& run);
    // Replaces the device's playlists with the chosen ones, freshly written.
    void sendPlaylists(Run& run);
    // Sends what the device lacks; a file's cache row is written only once the device took it.
    void sendMedia(Run& run);

    // The steps of plan.
    // Leaves the cache with a row for the answering device at its present sync location.
    void identifyDevice(Run& run);
    // Feeds the playlists every wanted track and marks the tracks the cache lists.
    void markPresent(Run& run);
    // Forgets journalled files that have rows; notes the unwanted rest for deleting again.
    void settleJournal(Run& run);

    // Sends the tracks (and their albums' art) one command at a time.
    void sendTracks(Run& run, bool checkExisting);
    // The same work with commands sent ahead of their replies.
    void sendTracksPipelined(media::IPipelinedTransfer& pipe, Run& run, bool checkExisting);

    // Sends the album's art the first time a readable art file is seen for it in this sync.
    void syncArt(Run& run, const itunesinfo::ITunesMediaFile& track, const std::string& artistDir,
                 const std::string& albumDir);

    // Forgets the journal's deletions once the device has answered after them.
    void confirmRemovals(Run& run, const std::string& deviceId);
    void decline(const std::string& file);

    media::IWifiMediaTransfer& transfer;
    ServerConnectInfo& serverInfo;
    std::vector<itunesinfo::ITunesMediaFile> mediaFiles;
    std::vector<itunesinfo::ITunesMediaFile> otherMediaFiles;
    std::vector<std::string> playlists;
    std::string workingDir;
    ServerConnectInfo* deviceInfo = nullptr;
    std::map<std::string, int> sentArts;
    int progress = 0;
    std::vector<std::string> declinedFiles;
    Summary summary;
    Options options;
};
