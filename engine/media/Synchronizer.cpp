#include "media/Synchronizer.h"

#include <utility>

#include "media/MediaCache.h"
#include <set>

#include "media/PlaylistWriter.h"
#include "media/RemovalJournal.h"
#include "util/FilesIO.h"
#include "util/Logger.h"
#include "util/Utils.h"

using fileutils::FilesIO;
using itunesinfo::ITunesMediaFile;
using media::MediaFile;

namespace {
const char* const kTag = "Synchronizer";
const char* const kArtFileName = "AlbumArt.jpg";
const char* const kJournalFile = "pending-removals.json";
}  // namespace

Synchronizer::Synchronizer(media::IWifiMediaTransfer& transfer, ServerConnectInfo& serverInfo,
                           std::vector<ITunesMediaFile> mediaFiles,
                           std::vector<ITunesMediaFile> otherMediaFiles,
                           std::vector<std::string> playlists, std::string workingDir)
    : transfer(transfer),
      serverInfo(serverInfo),
      mediaFiles(std::move(mediaFiles)),
      otherMediaFiles(std::move(otherMediaFiles)),
      playlists(std::move(playlists)),
      workingDir(std::move(workingDir) + "/") {}

Synchronizer::~Synchronizer() = default;

void Synchronizer::sync(SyncStatusCallback* callback) {
    progress = 0;
    Logger::log(kTag, "Connecting to database");
    callback->onSyncStatus(progress, "Connecting to database..");
    MediaCache cache;
    cache.init(workingDir + "db.s3db");
    {
        MediaCache::MarkBatch batch(cache);
        cache.unmarkAll();
    }

    callback->onSyncStatus(progress, "Connecting to android device..");
    transfer.init();
    deviceInfo = &transfer.getServerVersionInfo();
    transfer.free();

    const std::string deviceId = deviceInfo->getDeviceId();
    bool newDevice = !cache.containsDevice(deviceId);
    if (!newDevice &&
        cache.getDevice(deviceId).syncLocation != deviceInfo->getSyncLocation()) {
        Logger::log(kTag, "New Sync location seen, clearing cache");
        cache.clearCache(deviceId);
        cache.removeDevice(deviceId);
        newDevice = true;
    }
    if (newDevice) {
        Logger::log(kTag, "Adding new device info");
        cache.insertDevice(deviceId, deviceInfo->getName(), deviceInfo->getVersion(),
                           deviceInfo->getSyncLocation(), deviceInfo->getExtra());
    }

    Logger::log(kTag, "Creating Playlist object");
    media::PlaylistWriter writer(playlists, deviceInfo->getSyncLocation(), workingDir);

    callback->onSyncStatus(progress, "Checking pre-synced files");
    {
        MediaCache::MarkBatch batch(cache);
        for (ITunesMediaFile& track : mediaFiles) {
            writer.addMediaFile(track);
            if (!cache.containsFile(deviceId, track.getArtist(), track.getAlbum(),
                                    track.getFileName())) {
                track.setStatus(MediaFile::STATUS_NEW);
            } else {
                track.setStatus(MediaFile::STATUS_SYNCED);
                cache.markSyncedFile(deviceId, track.getArtist(), track.getAlbum(),
                                     track.getFileName());
            }
        }
    }

    Logger::log(kTag, "Calculating unwanted media files from cache..");
    const std::vector<MediaFile> unwanted = cache.getMediaFilesUnmarked(deviceId);

    callback->onSyncStatus(progress, "Connecting to device");
    Logger::log(kTag, "initing media transfer");
    transfer.init();

    Logger::log(kTag, "Removing unwanted media files");
    // Deletions a broken connection left unconfirmed are sent again, unless the file is wanted
    // again (its row is gone, so it is sent as a new track) or its album still has tracks (and
    // so gets its art again).
    media::RemovalJournal journal(workingDir + kJournalFile);
    std::set<std::string> wantedFiles;
    std::set<std::string> wantedAlbums;
    std::set<std::string> keptAlbums;
    for (const ITunesMediaFile& track : mediaFiles) {
        const std::string album = track.getArtist() + "/" + track.getAlbum();
        wantedFiles.insert(album + "/" + track.getFileName());
        wantedAlbums.insert(album);
        if (track.getStatus() == MediaFile::STATUS_SYNCED) keptAlbums.insert(album);
    }
    std::vector<media::RemovalJournal::Entry> resend;
    for (const media::RemovalJournal::Entry& entry : journal.entries(deviceId)) {
        const std::string album = entry.artist + "/" + entry.album;
        const bool wanted = entry.fileName == kArtFileName
                                ? wantedAlbums.count(album) != 0
                                : wantedFiles.count(album + "/" + entry.fileName) != 0;
        if (!wanted) resend.push_back(entry);
    }
    journal.clear(deviceId);
    std::vector<media::RemovalJournal::Entry> fileDeletes = resend;
    for (const MediaFile& file : unwanted) {
        fileDeletes.push_back({file.getArtist(), file.getAlbum(), file.getFileName()});
    }
    journal.add(deviceId, fileDeletes);
    unconfirmedRemovals = !fileDeletes.empty();
    for (const media::RemovalJournal::Entry& entry : resend) {
        transfer.remove(Utils::makeValidDirName(entry.artist), Utils::makeValidDirName(entry.album),
                        entry.fileName);
    }
    for (const MediaFile& file : unwanted) {
        transfer.remove(Utils::makeValidDirName(file.getArtist()),
                        Utils::makeValidDirName(file.getAlbum()), file.getFileName());
        cache.removeFile(deviceId, file.getArtist(), file.getAlbum(), file.getFileName());
    }

    // The art of albums that keep files stays: these are the albums of the wanted tracks the
    // cache lists, the very albums the remaining file rows name.
    {
        MediaCache::MarkBatch batch(cache);
        for (const media::MediaAlbum& album : cache.getAlbumsFromFiles(deviceId)) {
            if (keptAlbums.count(album.getArtist() + "/" + album.getAlbum()) == 0) continue;
            cache.markSyncedArt(deviceId, album.getArtist(), album.getAlbum());
        }
    }
    const std::vector<media::MediaAlbum> unwantedArt = cache.getMediaAlbumsUnmarked(deviceId);
    std::vector<media::RemovalJournal::Entry> artDeletes;
    for (const media::MediaAlbum& album : unwantedArt) {
        artDeletes.push_back({album.getArtist(), album.getAlbum(), kArtFileName});
    }
    journal.add(deviceId, artDeletes);
    unconfirmedRemovals = unconfirmedRemovals || !artDeletes.empty();
    for (const media::MediaAlbum& album : unwantedArt) {
        transfer.remove(Utils::makeValidDirName(album.getArtist()),
                        Utils::makeValidDirName(album.getAlbum()), kArtFileName);
        cache.removeArt(deviceId, album.getArtist(), album.getAlbum());
    }

    Logger::log(kTag, "Removing existing playlists");
    writer.removeExistingPlaylists();
    Logger::log(kTag, "Writing new playlists");
    writer.writeInPlaylists();

    Logger::log(kTag, "Removing existing playlists from remote device");
    transfer.removePlaylists();

    Logger::log(kTag, "Syncing playlists");
    for (const std::string& path : writer.getAbsolutePlaylistNames()) {
        if (!FilesIO::fileExist(path)) {
            Logger::log(kTag, "Playlist does not exist: " + path);
            continue;
        }
        const std::string name = FilesIO::getFileName(path);
        callback->onSyncStatus(progress, name);
        transfer.syncPlaylist(path, name);
        confirmRemovals(journal, deviceId);
    }

    sentArts.clear();
    Logger::log(kTag, "Syncing media files");
    const bool checkExisting = transfer.getServerVersionInfo().compareProtocol("2.0") >= 0;

    const std::size_t count = mediaFiles.size();
    for (std::size_t i = 0; i < count; ++i) {
        ITunesMediaFile track = mediaFiles[i];
        const MediaFile::SyncStatus status = track.getStatus();
        bool resend = false;
        if (status == MediaFile::STATUS_SYNCED && checkExisting) {
            const std::string answer =
                transfer.checkAndRefreshExisting(track.getLocation(), track.getArtist(),
                                                 track.getAlbum(), track.getFileName(), true);
            resend = answer == "doesnotexist" || answer == "sizemismatch";
            confirmRemovals(journal, deviceId);
        }

        progress = static_cast<int>(static_cast<double>(i + 1) / static_cast<double>(count) *
                                    100.0);
        callback->onSyncStatus(progress, track.getFileName());

        const std::string artistDir = Utils::makeValidDirName(track.getArtist());
        const std::string albumDir = Utils::makeValidDirName(track.getAlbum());
        if (status == MediaFile::STATUS_NEW || resend) {
            if (!FilesIO::isValidAccessibleFile(track.getLocation())) {
                Logger::log(kTag, "Failed to read media file : " + track.getLocation());
                continue;
            }
            transfer.syncMedia(track.getLocation(), artistDir, albumDir, track.getFileName());
            confirmRemovals(journal, deviceId);
            if (status == MediaFile::STATUS_NEW) {
                track.setStatus(MediaFile::STATUS_SYNCED);
                cache.insertFile(deviceId, track.getArtist(), track.getAlbum(),
                                 track.getFileName(), track.getLocation());
            }
        }
        if (syncArt(track, cache, callback, artistDir, albumDir)) confirmRemovals(journal, deviceId);
    }

    transfer.free();
    cache.free();
    Logger::log(kTag, "Finished syncing..");
}

void Synchronizer::confirmRemovals(media::RemovalJournal& journal, const std::string& deviceId) {
    // The device answered a command sent after the deletions, so it has read them all.
    if (!unconfirmedRemovals) return;
    journal.clear(deviceId);
    unconfirmedRemovals = false;
}

bool Synchronizer::syncArt(const ITunesMediaFile& track, MediaCache& cache,
                           SyncStatusCallback* callback, const std::string& artistDir,
                           const std::string& albumDir) {
    std::string key = track.getArtist() + "/" + track.getAlbum();
    if (sentArts.count(key) != 0) return false;
    const std::string deviceId = deviceInfo->getDeviceId();
    const bool known = cache.containsArt(deviceId, track.getArtist(), track.getAlbum());
    const std::string artLocation = track.getArtLocation();
    if (!FilesIO::isValidAccessibleFile(artLocation)) {
        Logger::log(kTag, "Failed to access art :" + artLocation);
        return false;
    }
    callback->onSyncStatus(progress, "Syncing art :" + track.getAlbum());
    transfer.syncArt(artLocation, artistDir, albumDir, kArtFileName);
    if (!known) cache.insertArt(deviceId, track.getArtist(), track.getAlbum());
    sentArts.emplace(std::move(key), 1);
    return true;
}
