#include "media/Synchronizer.h"

#include <utility>

#include <set>

#include "media/CMediaException.h"
#include "media/MediaCache.h"
#include "media/PlaylistWriter.h"
#include "media/RemovalJournal.h"
#include "util/FilesIO.h"
#include "util/Logger.h"
#include "util/Utils.h"

using fileutils::FilesIO;
using itunesinfo::ITunesMediaFile;
using media::MediaFile;
using Entry = media::RemovalJournal::Entry;

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
    declinedFiles.clear();
    summary = Summary();
    Logger::log(kTag, "Connecting to database");
    callback->onSyncStatus(progress, "Connecting to database..");
    MediaCache cache;
    cache.init(workingDir + "db.s3db");
    {
        MediaCache::MarkBatch batch(cache);
        cache.unmarkAll();
        batch.commit();
    }

    callback->onSyncStatus(progress, "Connecting to android device..");
    transfer.init();
    deviceInfo = &transfer.getServerVersionInfo();
    transfer.free();

    const std::string deviceId = deviceInfo->getDeviceId();
    media::RemovalJournal journal(workingDir + kJournalFile);
    bool newDevice = !cache.containsDevice(deviceId);
    if (!newDevice && cache.getDevice(deviceId).syncLocation != deviceInfo->getSyncLocation()) {
        Logger::log(kTag, "New Sync location seen, clearing cache");
        cache.clearCache(deviceId);
        cache.removeDevice(deviceId);
        // The journal's files lie in the old location, which this sync leaves alone.
        journal.clear(deviceId);
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
        batch.commit();
    }

    Logger::log(kTag, "Calculating unwanted media files from cache..");
    const std::vector<MediaFile> unwanted = cache.getMediaFilesUnmarked(deviceId);

    callback->onSyncStatus(progress, "Connecting to device");
    Logger::log(kTag, "initing media transfer");
    transfer.init();

    Logger::log(kTag, "Removing unwanted media files");
    std::set<std::string> wantedFiles;
    std::set<std::string> wantedAlbums;
    std::set<std::string> keptAlbums;
    for (const ITunesMediaFile& track : mediaFiles) {
        const std::string album = track.getArtist() + "/" + track.getAlbum();
        wantedFiles.insert(album + "/" + track.getFileName());
        wantedAlbums.insert(album);
        if (track.getStatus() == MediaFile::STATUS_SYNCED) keptAlbums.insert(album);
    }
    // Files an earlier sync left uncertain. One with a cache row is on the device (a row is
    // written only after the device took the file, and removed before its deletion is sent),
    // and the rows rule it from here. Of the rest, those no playlist wants are deleted again;
    // a wanted one has no row, so it is sent as a new track and settled with its row.
    std::vector<Entry> settled;
    std::vector<Entry> deleteAgain;
    for (const Entry& entry : journal.entries(deviceId)) {
        const std::string album = entry.artist + "/" + entry.album;
        const bool art = entry.fileName == kArtFileName;
        const bool hasRow =
            art ? cache.containsArt(deviceId, entry.artist, entry.album)
                : cache.containsFile(deviceId, entry.artist, entry.album, entry.fileName);
        const bool wanted = art ? wantedAlbums.count(album) != 0
                                : wantedFiles.count(album + "/" + entry.fileName) != 0;
        if (hasRow) {
            settled.push_back(entry);
        } else if (!wanted) {
            deleteAgain.push_back(entry);
        }
    }
    journal.remove(deviceId, settled);
    // Each deletion is journalled before its row goes, and the row goes before the "delete" is
    // sent: a crash in between leaves a journalled file, never a row for a deleted one.
    std::vector<Entry> fileDeletes;
    for (const MediaFile& file : unwanted) {
        fileDeletes.push_back({file.getArtist(), file.getAlbum(), file.getFileName()});
    }
    journal.add(deviceId, fileDeletes);
    unconfirmedDeletes = deleteAgain;
    unconfirmedDeletes.insert(unconfirmedDeletes.end(), fileDeletes.begin(), fileDeletes.end());
    for (const Entry& entry : deleteAgain) {
        transfer.remove(Utils::makeValidDirName(entry.artist), Utils::makeValidDirName(entry.album),
                        entry.fileName);
    }
    for (const MediaFile& file : unwanted) {
        cache.removeFile(deviceId, file.getArtist(), file.getAlbum(), file.getFileName());
        transfer.remove(Utils::makeValidDirName(file.getArtist()),
                        Utils::makeValidDirName(file.getAlbum()), file.getFileName());
        ++summary.deleted;
    }

    // The art of albums that keep files stays: these are the albums of the wanted tracks the
    // cache lists, the very albums the remaining file rows name.
    {
        MediaCache::MarkBatch batch(cache);
        for (const media::MediaAlbum& album : cache.getAlbumsFromFiles(deviceId)) {
            if (keptAlbums.count(album.getArtist() + "/" + album.getAlbum()) == 0) continue;
            cache.markSyncedArt(deviceId, album.getArtist(), album.getAlbum());
        }
        batch.commit();
    }
    const std::vector<media::MediaAlbum> unwantedArt = cache.getMediaAlbumsUnmarked(deviceId);
    std::vector<Entry> artDeletes;
    for (const media::MediaAlbum& album : unwantedArt) {
        artDeletes.push_back({album.getArtist(), album.getAlbum(), kArtFileName});
    }
    journal.add(deviceId, artDeletes);
    unconfirmedDeletes.insert(unconfirmedDeletes.end(), artDeletes.begin(), artDeletes.end());
    for (const media::MediaAlbum& album : unwantedArt) {
        cache.removeArt(deviceId, album.getArtist(), album.getAlbum());
        transfer.remove(Utils::makeValidDirName(album.getArtist()),
                        Utils::makeValidDirName(album.getAlbum()), kArtFileName);
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

        progress =
            static_cast<int>(static_cast<double>(i + 1) / static_cast<double>(count) * 100.0);
        callback->onSyncStatus(progress, track.getFileName());

        const std::string artistDir = Utils::makeValidDirName(track.getArtist());
        const std::string albumDir = Utils::makeValidDirName(track.getAlbum());
        if (status == MediaFile::STATUS_NEW || resend) {
            if (!FilesIO::isValidAccessibleFile(track.getLocation())) {
                Logger::log(kTag, "Failed to read media file : " + track.getLocation());
                ++summary.skipped;
                continue;
            }
            // A new track is journalled until its row is written: the device may take the
            // file and the program die before the row exists. A re-sent track keeps its row.
            const Entry sending{track.getArtist(), track.getAlbum(), track.getFileName()};
            if (status == MediaFile::STATUS_NEW) journal.add(deviceId, {sending});
            try {
                transfer.syncMedia(track.getLocation(), artistDir, albumDir, track.getFileName());
            } catch (const media::CMediaDeclinedException&) {
                // Nothing was sent and no row is written, so the next sync offers it again.
                decline(track.getArtist() + "/" + track.getAlbum() + "/" + track.getFileName());
                ++summary.declined;
                continue;
            }
            confirmRemovals(journal, deviceId);
            ++summary.sent;
            if (status == MediaFile::STATUS_NEW) {
                track.setStatus(MediaFile::STATUS_SYNCED);
                cache.insertFile(deviceId, track.getArtist(), track.getAlbum(), track.getFileName(),
                                 track.getLocation());
                journal.remove(deviceId, {sending});
            }
        } else {
            ++summary.present;
        }
        syncArt(track, cache, journal, callback, artistDir, albumDir);
    }

    transfer.free();
    cache.free();
    Logger::log(kTag, "Finished syncing..");
}

void Synchronizer::decline(const std::string& file) {
    Logger::log(kTag, "The device declined " + file);
    declinedFiles.push_back(file);
}

void Synchronizer::confirmRemovals(media::RemovalJournal& journal, const std::string& deviceId) {
    // The device answered a command sent after the deletions, so it has read them all.
    if (unconfirmedDeletes.empty()) return;
    journal.remove(deviceId, unconfirmedDeletes);
    unconfirmedDeletes.clear();
}

void Synchronizer::syncArt(const ITunesMediaFile& track, MediaCache& cache,
                           media::RemovalJournal& journal, SyncStatusCallback* callback,
                           const std::string& artistDir, const std::string& albumDir) {
    std::string key = track.getArtist() + "/" + track.getAlbum();
    if (sentArts.count(key) != 0) return;
    const std::string deviceId = deviceInfo->getDeviceId();
    const bool known = cache.containsArt(deviceId, track.getArtist(), track.getAlbum());
    const std::string artLocation = track.getArtLocation();
    if (!FilesIO::isValidAccessibleFile(artLocation)) {
        Logger::log(kTag, "Failed to access art :" + artLocation);
        return;
    }
    callback->onSyncStatus(progress, "Syncing art :" + track.getAlbum());
    const Entry sending{track.getArtist(), track.getAlbum(), kArtFileName};
    if (!known) journal.add(deviceId, {sending});
    try {
        transfer.syncArt(artLocation, artistDir, albumDir, kArtFileName);
    } catch (const media::CMediaDeclinedException&) {
        // Handled for this sync all the same: the album's next track would only be declined again.
        decline(key + "/" + kArtFileName);
        sentArts.emplace(std::move(key), 1);
        return;
    }
    confirmRemovals(journal, deviceId);
    if (!known) {
        cache.insertArt(deviceId, track.getArtist(), track.getAlbum());
        journal.remove(deviceId, {sending});
    }
    sentArts.emplace(std::move(key), 1);
}
