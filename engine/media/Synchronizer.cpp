#include "media/Synchronizer.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <set>
#include <utility>

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

// What one sync carries from phase to phase.
struct Synchronizer::Run {
    explicit Run(SyncStatusCallback* callback) : callback(callback) {}

    SyncStatusCallback* callback;
    MediaCache cache;
    std::optional<media::RemovalJournal> journal;  // read once the device has answered
    std::optional<media::PlaylistWriter> writer;   // made once the sync location is known
    std::string deviceId;                          // as the device answered the first connection
    std::vector<MediaFile> unwanted;   // tracks the cache lists and no chosen playlist wants
    std::set<std::string> keptAlbums;  // "artist/album" of the wanted tracks the cache lists
    std::vector<Entry> deleteAgain;    // journalled files no chosen playlist wants
    // Deletions sent on the working connection that the device has not yet answered after.
    std::vector<Entry> unconfirmedDeletes;
};

void Synchronizer::sync(SyncStatusCallback* callback) {
    progress = 0;
    declinedFiles.clear();
    summary = Summary();
    Run run(callback);
    plan(run);
    deleteUnwanted(run);
    sendPlaylists(run);
    sendMedia(run);
    transfer.free();
    run.cache.free();
    Logger::log(kTag, "Finished syncing..");
}

void Synchronizer::plan(Run& run) {
    Logger::log(kTag, "Connecting to database");
    run.callback->onSyncStatus(progress, "Connecting to database..");
    run.cache.init(workingDir + "db.s3db");
    {
        MediaCache::MarkBatch batch(run.cache);
        run.cache.unmarkAll();
        batch.commit();
    }
    identifyDevice(run);
    markPresent(run);

    Logger::log(kTag, "Calculating unwanted media files from cache..");
    run.unwanted = run.cache.getMediaFilesUnmarked(run.deviceId);

    run.callback->onSyncStatus(progress, "Connecting to device");
    Logger::log(kTag, "initing media transfer");
    transfer.init();

    // Only with the working connection open: a sync that cannot connect leaves the journal as
    // it found it.
    Logger::log(kTag, "Removing unwanted media files");
    settleJournal(run);
}

void Synchronizer::identifyDevice(Run& run) {
    run.callback->onSyncStatus(progress, "Connecting to android device..");
    transfer.init();
    deviceInfo = &transfer.getServerVersionInfo();
    transfer.free();

    MediaCache& cache = run.cache;
    run.deviceId = deviceInfo->getDeviceId();
    const std::string& deviceId = run.deviceId;
    run.journal.emplace(workingDir + kJournalFile);
    bool newDevice = !cache.containsDevice(deviceId);
    if (!newDevice && cache.getDevice(deviceId).syncLocation != deviceInfo->getSyncLocation()) {
        Logger::log(kTag, "New Sync location seen, clearing cache");
        cache.clearCache(deviceId);
        cache.removeDevice(deviceId);
        // The journal's files lie in the old location, which this sync leaves alone.
        run.journal->clear(deviceId);
        newDevice = true;
    }
    if (newDevice) {
        Logger::log(kTag, "Adding new device info");
        cache.insertDevice(deviceId, deviceInfo->getName(), deviceInfo->getVersion(),
                           deviceInfo->getSyncLocation(), deviceInfo->getExtra());
    }
}

void Synchronizer::markPresent(Run& run) {
    Logger::log(kTag, "Creating Playlist object");
    run.writer.emplace(playlists, deviceInfo->getSyncLocation(), workingDir);

    run.callback->onSyncStatus(progress, "Checking pre-synced files");
    MediaCache::MarkBatch batch(run.cache);
    for (ITunesMediaFile& track : mediaFiles) {
        run.writer->addMediaFile(track);
        if (!run.cache.containsFile(run.deviceId, track.getArtist(), track.getAlbum(),
                                    track.getFileName())) {
            track.setStatus(MediaFile::STATUS_NEW);
        } else {
            track.setStatus(MediaFile::STATUS_SYNCED);
            run.cache.markSyncedFile(run.deviceId, track.getArtist(), track.getAlbum(),
                                     track.getFileName());
        }
    }
    batch.commit();
}

void Synchronizer::settleJournal(Run& run) {
    std::set<std::string> wantedFiles;
    std::set<std::string> wantedAlbums;
    for (const ITunesMediaFile& track : mediaFiles) {
        const std::string album = track.getArtist() + "/" + track.getAlbum();
        wantedFiles.insert(album + "/" + track.getFileName());
        wantedAlbums.insert(album);
        if (track.getStatus() == MediaFile::STATUS_SYNCED) run.keptAlbums.insert(album);
    }
    // Files an earlier sync left uncertain. One with a cache row is on the device (a row is
    // written only after the device took the file, and removed before its deletion is sent),
    // and the rows rule it from here. Of the rest, those no playlist wants are deleted again;
    // a wanted one has no row, so it is sent as a new track and settled with its row.
    const std::string& deviceId = run.deviceId;
    std::vector<Entry> settled;
    for (const Entry& entry : run.journal->entries(deviceId)) {
        const std::string album = entry.artist + "/" + entry.album;
        const bool art = entry.fileName == kArtFileName;
        const bool hasRow =
            art ? run.cache.containsArt(deviceId, entry.artist, entry.album)
                : run.cache.containsFile(deviceId, entry.artist, entry.album, entry.fileName);
        const bool wanted = art ? wantedAlbums.count(album) != 0
                                : wantedFiles.count(album + "/" + entry.fileName) != 0;
        if (hasRow) {
            settled.push_back(entry);
        } else if (!wanted) {
            run.deleteAgain.push_back(entry);
        }
    }
    run.journal->remove(deviceId, settled);
}

void Synchronizer::deleteUnwanted(Run& run) {
    MediaCache& cache = run.cache;
    media::RemovalJournal& journal = *run.journal;
    const std::string& deviceId = run.deviceId;
    // Each deletion is journalled before its row goes, and the row goes before the "delete" is
    // sent: a crash in between leaves a journalled file, never a row for a deleted one.
    std::vector<Entry> fileDeletes;
    for (const MediaFile& file : run.unwanted) {
        fileDeletes.push_back({file.getArtist(), file.getAlbum(), file.getFileName()});
    }
    journal.add(deviceId, fileDeletes);
    run.unconfirmedDeletes = run.deleteAgain;
    run.unconfirmedDeletes.insert(run.unconfirmedDeletes.end(), fileDeletes.begin(),
                                  fileDeletes.end());
    for (const Entry& entry : run.deleteAgain) {
        transfer.remove(Utils::makeValidDirName(entry.artist), Utils::makeValidDirName(entry.album),
                        entry.fileName);
    }
    for (const MediaFile& file : run.unwanted) {
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
            if (run.keptAlbums.count(album.getArtist() + "/" + album.getAlbum()) == 0) continue;
            cache.markSyncedArt(deviceId, album.getArtist(), album.getAlbum());
        }
        batch.commit();
    }
    const std::vector<media::MediaAlbum> unwantedArt = cache.getMediaAlbumsUnmarked(deviceId);
    std::vector<Entry> artDeletes;
    artDeletes.reserve(unwantedArt.size());
    for (const media::MediaAlbum& album : unwantedArt) {
        artDeletes.push_back({album.getArtist(), album.getAlbum(), kArtFileName});
    }
    journal.add(deviceId, artDeletes);
    run.unconfirmedDeletes.insert(run.unconfirmedDeletes.end(), artDeletes.begin(),
                                  artDeletes.end());
    for (const media::MediaAlbum& album : unwantedArt) {
        cache.removeArt(deviceId, album.getArtist(), album.getAlbum());
        transfer.remove(Utils::makeValidDirName(album.getArtist()),
                        Utils::makeValidDirName(album.getAlbum()), kArtFileName);
    }
}

void Synchronizer::sendPlaylists(Run& run) {
    Logger::log(kTag, "Removing existing playlists");
    run.writer->removeExistingPlaylists();
    Logger::log(kTag, "Writing new playlists");
    run.writer->writeInPlaylists();

    Logger::log(kTag, "Removing existing playlists from remote device");
    transfer.removePlaylists();

    Logger::log(kTag, "Syncing playlists");
    for (const std::string& path : run.writer->getAbsolutePlaylistNames()) {
        if (!FilesIO::fileExist(path)) {
            Logger::log(kTag, "Playlist does not exist: " + path);
            continue;
        }
        const std::string name = FilesIO::getFileName(path);
        run.callback->onSyncStatus(progress, name);
        transfer.syncPlaylist(path, name);
        confirmRemovals(run, run.deviceId);
    }
}

void Synchronizer::sendMedia(Run& run) {
    sentArts.clear();
    Logger::log(kTag, "Syncing media files");
    const bool checkExisting = transfer.getServerVersionInfo().compareProtocol("2.0") >= 0;
    // The pipelined form of the same connection, when it has one.
    auto* pipe = options.fast ? dynamic_cast<media::IPipelinedTransfer*>(&transfer) : nullptr;
    if (pipe != nullptr) {
        sendTracksPipelined(*pipe, run, checkExisting);
    } else {
        sendTracks(run, checkExisting);
    }
}

void Synchronizer::sendTracks(Run& run, bool checkExisting) {
    MediaCache& cache = run.cache;
    media::RemovalJournal& journal = *run.journal;
    SyncStatusCallback* callback = run.callback;
    const std::string deviceId = deviceInfo->getDeviceId();
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
            confirmRemovals(run, deviceId);
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
            confirmRemovals(run, deviceId);
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
        syncArt(run, track, artistDir, albumDir);
    }
}

void Synchronizer::sendTracksPipelined(media::IPipelinedTransfer& pipe, Run& run,
                                       bool checkExisting) {
    MediaCache& cache = run.cache;
    media::RemovalJournal& journal = *run.journal;
    SyncStatusCallback* callback = run.callback;
    const std::string deviceId = deviceInfo->getDeviceId();
    cache.ensureArtDigests();
    const std::size_t count = mediaFiles.size();

    // Each album's art comes from the first of its tracks whose art file can be read.
    struct Art {
        std::string artist;
        std::string album;
        std::string location;
        std::string digest;
        bool known = false;  // the cache lists it on the device
        bool send = true;
        bool handled = false;  // sent, declined or found unchanged in this sync
    };
    std::map<std::string, Art> arts;
    for (const ITunesMediaFile& track : mediaFiles) {
        const std::string key = track.getArtist() + "/" + track.getAlbum();
        if (arts.count(key) != 0 && !arts[key].location.empty()) continue;
        Art& art = arts[key];
        art.artist = track.getArtist();
        art.album = track.getAlbum();
        if (!FilesIO::isValidAccessibleFile(track.getArtLocation())) continue;
        art.location = track.getArtLocation();
        art.digest = FilesIO::digest(art.location);
        art.known = cache.containsArt(deviceId, track.getArtist(), track.getAlbum());
        art.send = !art.known || art.digest.empty() ||
                   art.digest != cache.getArtDigest(deviceId, track.getArtist(), track.getAlbum());
    }

    // The existence checks, a window of them on the wire at a time, answers read in order.
    std::vector<char> missing(count, 0);
    {
        struct Asked {
            std::size_t track;  // index into mediaFiles, or count for an album's art
            std::string album;
        };
        std::deque<Asked> asked;
        const auto readOne = [&] {
            const std::string answer = pipe.readCheckReply();
            confirmRemovals(run, deviceId);
            const bool gone = answer == "doesnotexist" || answer == "sizemismatch";
            if (asked.front().track < count) {
                missing[asked.front().track] = gone ? 1 : 0;
            } else if (gone) {
                arts[asked.front().album].send = true;
            }
            asked.pop_front();
        };
        const std::size_t window = std::max<std::size_t>(1, options.checkWindow);
        std::set<std::string> artAsked;
        for (std::size_t i = 0; checkExisting && i < count; ++i) {
            const ITunesMediaFile& track = mediaFiles[i];
            if (track.getStatus() == MediaFile::STATUS_SYNCED) {
                pipe.sendCheck(track.getLocation(), track.getArtist(), track.getAlbum(),
                               track.getFileName(), true);
                asked.push_back({i, {}});
            }
            const std::string key = track.getArtist() + "/" + track.getAlbum();
            const Art& art = arts[key];
            if (!art.send && artAsked.insert(key).second) {
                pipe.sendCheck(art.location, track.getArtist(), track.getAlbum(), kArtFileName,
                               false);
                asked.push_back({count, key});
            }
            while (asked.size() >= window) readOne();
        }
        while (!asked.empty()) readOne();
    }

    // Every file goes out as soon as the one before it is on its way: its offer is sent, then
    // the last reply of the previous file read, then the answer to the offer.
    struct Sending {
        bool art = false;
        std::size_t track = 0;  // index into mediaFiles
        std::string album;      // arts key
        bool isNew = false;     // a track or art without a cache row: journalled until it has one
        Entry entry;
    };
    // Every new file this sync may send is journalled before the first is offered, in one
    // write: an entry for a file not sent after all only makes the next sync delete a file the
    // device lacks, or send one it wants. Entries are forgotten together at the end, once
    // their rows are written; until then a row already tells the next sync the file is there.
    std::vector<Entry> journalled;
    for (const ITunesMediaFile& track : mediaFiles) {
        if (track.getStatus() == MediaFile::STATUS_NEW) {
            journalled.push_back({track.getArtist(), track.getAlbum(), track.getFileName()});
        }
    }
    for (const auto& [key, art] : arts) {
        if (art.send && !art.known && !art.location.empty()) {
            journalled.push_back({art.artist, art.album, kArtFileName});
        }
    }
    journal.add(deviceId, journalled);
    std::vector<Entry> settled;
    std::optional<Sending> inFlight;
    // A file the device has stored whose cache row is not written yet. The row waits until the
    // next file's bytes are in the socket, so that the link never idles on the cache; the
    // journal covers a new file until its row is written.
    std::optional<Sending> stored;
    const auto record = [&] {
        if (!stored) return;
        const Sending done = *stored;
        stored.reset();
        if (done.art) {
            if (done.isNew) cache.insertArt(deviceId, done.entry.artist, done.entry.album);
            cache.setArtDigest(deviceId, done.entry.artist, done.entry.album,
                               arts[done.album].digest);
        } else if (done.isNew) {
            cache.insertFile(deviceId, done.entry.artist, done.entry.album, done.entry.fileName,
                             mediaFiles[done.track].getLocation());
        }
        if (done.isNew) settled.push_back(done.entry);
    };
    const auto settle = [&] {
        if (!inFlight) return;
        const bool accepted = pipe.readReply();
        confirmRemovals(run, deviceId);
        if (!inFlight->art) {
            if (!accepted) Logger::log(kTag, "checkResponseOK failed");
            ++summary.sent;
        }
        stored = inFlight;
        inFlight.reset();
    };
    const auto send = [&](const Sending& item, const std::string& location) {
        const long size =
            pipe.sendOffer(item.art ? "syncart" : "syncmedia", location,
                           Utils::makeValidDirName(item.entry.artist),
                           Utils::makeValidDirName(item.entry.album), item.entry.fileName);
        settle();
        try {
            const bool accepted = pipe.readReply();
            confirmRemovals(run, deviceId);
            if (!accepted) {
                record();
                decline(item.entry.artist + "/" + item.entry.album + "/" + item.entry.fileName);
                if (!item.art) ++summary.declined;
                return;
            }
            pipe.sendFileBytes(location, size);
        } catch (...) {
            // The file before is on the device whatever becomes of this one.
            record();
            throw;
        }
        record();
        inFlight = item;
    };

    for (std::size_t i = 0; i < count; ++i) {
        const ITunesMediaFile& track = mediaFiles[i];
        progress =
            static_cast<int>(static_cast<double>(i + 1) / static_cast<double>(count) * 100.0);
        callback->onSyncStatus(progress, track.getFileName());
        const bool isNew = track.getStatus() == MediaFile::STATUS_NEW;
        if (isNew || missing[i] != 0) {
            if (!FilesIO::isValidAccessibleFile(track.getLocation())) {
                Logger::log(kTag, "Failed to read media file : " + track.getLocation());
                ++summary.skipped;
                continue;
            }
            send({false, i, {}, isNew, {track.getArtist(), track.getAlbum(), track.getFileName()}},
                 track.getLocation());
        } else {
            ++summary.present;
        }
        const std::string key = track.getArtist() + "/" + track.getAlbum();
        Art& art = arts[key];
        if (art.handled) continue;
        if (art.location.empty()) {
            Logger::log(kTag, "Failed to access art :" + track.getArtLocation());
            continue;
        }
        art.handled = true;
        if (!art.send) continue;
        callback->onSyncStatus(progress, "Syncing art :" + track.getAlbum());
        send({true, i, key, !art.known, {track.getArtist(), track.getAlbum(), kArtFileName}},
             art.location);
    }
    settle();
    record();
    journal.remove(deviceId, settled);
}

Synchronizer::Preview Synchronizer::preview(SyncStatusCallback* callback) {
    Preview result;
    const auto name = [](const std::string& artist, const std::string& album,
                         const std::string& fileName) {
        return artist + "/" + album + "/" + fileName;
    };
    callback->onSyncStatus(0, "Connecting to database..");
    MediaCache cache;
    cache.init(workingDir + "db.s3db");
    // The marks that sync commits are made here in a transaction that is never committed.
    MediaCache::MarkBatch scratch(cache);
    cache.unmarkAll();

    callback->onSyncStatus(0, "Connecting to android device..");
    transfer.init();
    const ServerConnectInfo device = transfer.getServerVersionInfo();
    const std::string deviceId = device.getDeviceId();
    // A device seen for the first time, or at another sync location, starts from nothing; at
    // another location the journal's files are left alone too.
    const bool exists = cache.containsDevice(deviceId);
    const bool moved = exists && cache.getDevice(deviceId).syncLocation != device.getSyncLocation();
    const bool known = exists && !moved;

    const std::size_t count = mediaFiles.size();
    std::vector<char> listed(count, 0);
    std::set<std::string> wantedFiles;
    std::set<std::string> wantedAlbums;
    std::set<std::string> keptAlbums;
    for (std::size_t i = 0; i < count; ++i) {
        const ITunesMediaFile& track = mediaFiles[i];
        const std::string album = track.getArtist() + "/" + track.getAlbum();
        wantedFiles.insert(album + "/" + track.getFileName());
        wantedAlbums.insert(album);
        if (known && cache.containsFile(deviceId, track.getArtist(), track.getAlbum(),
                                        track.getFileName())) {
            listed[i] = 1;
            keptAlbums.insert(album);
            cache.markSyncedFile(deviceId, track.getArtist(), track.getAlbum(),
                                 track.getFileName());
        }
    }

    // Deletions, in the order sync sends them: journalled files without a row that no playlist
    // wants, the cache's unwanted tracks, then the art of albums left without tracks.
    if (!moved) {
        const media::RemovalJournal journal(workingDir + kJournalFile);
        for (const Entry& entry : journal.entries(deviceId)) {
            const std::string album = entry.artist + "/" + entry.album;
            const bool art = entry.fileName == kArtFileName;
            const bool hasRow =
                art ? cache.containsArt(deviceId, entry.artist, entry.album)
                    : cache.containsFile(deviceId, entry.artist, entry.album, entry.fileName);
            const bool wanted = art ? wantedAlbums.count(album) != 0
                                    : wantedFiles.count(album + "/" + entry.fileName) != 0;
            if (!hasRow && !wanted) {
                result.remove.push_back(name(entry.artist, entry.album, entry.fileName));
            }
        }
    }
    if (known) {
        for (const MediaFile& file : cache.getMediaFilesUnmarked(deviceId)) {
            result.remove.push_back(name(file.getArtist(), file.getAlbum(), file.getFileName()));
        }
        for (const std::string& album : keptAlbums) {
            const std::size_t slash = album.find('/');
            cache.markSyncedArt(deviceId, album.substr(0, slash), album.substr(slash + 1));
        }
        for (const media::MediaAlbum& album : cache.getMediaAlbumsUnmarked(deviceId)) {
            result.remove.push_back(name(album.getArtist(), album.getAlbum(), kArtFileName));
        }
    }

    // Each album's art: in the fast mode from the first of its tracks whose art can be read,
    // and only when it changed; otherwise from the first track sent or present whose art can
    // be read, every time.
    auto* pipe = options.fast ? dynamic_cast<media::IPipelinedTransfer*>(&transfer) : nullptr;
    struct Art {
        std::string location;
        bool send = true;
    };
    std::map<std::string, Art> arts;
    if (pipe != nullptr) {
        cache.ensureArtDigests();
        for (const ITunesMediaFile& track : mediaFiles) {
            Art& art = arts[track.getArtist() + "/" + track.getAlbum()];
            if (!art.location.empty() || !FilesIO::isValidAccessibleFile(track.getArtLocation()))
                continue;
            art.location = track.getArtLocation();
            const std::string digest = FilesIO::digest(art.location);
            art.send = !known ||
                       !cache.containsArt(deviceId, track.getArtist(), track.getAlbum()) ||
                       digest.empty() ||
                       digest != cache.getArtDigest(deviceId, track.getArtist(), track.getAlbum());
        }
    }

    // Which listed tracks and unchanged art the device lacks, asked as sync asks.
    std::vector<char> missing(count, 0);
    if (device.compareProtocol("2.0") >= 0) {
        struct Asked {
            std::size_t track;  // index into mediaFiles, or count for an album's art
            std::string album;
        };
        std::deque<Asked> asked;
        const auto settle = [&](const Asked& item, const std::string& answer) {
            const bool gone = answer == "doesnotexist" || answer == "sizemismatch";
            if (item.track < count)
                missing[item.track] = gone ? 1 : 0;
            else if (gone)
                arts[item.album].send = true;
        };
        const auto ask = [&](const Asked& item, const std::string& location,
                             const std::string& artist, const std::string& album,
                             const std::string& fileName) {
            if (pipe == nullptr) {
                settle(item,
                       transfer.checkAndRefreshExisting(location, artist, album, fileName, false));
                return;
            }
            pipe->sendCheck(location, artist, album, fileName, false);
            asked.push_back(item);
            while (asked.size() >= std::max<std::size_t>(1, options.checkWindow)) {
                settle(asked.front(), pipe->readCheckReply());
                asked.pop_front();
            }
        };
        std::set<std::string> artAsked;
        for (std::size_t i = 0; i < count; ++i) {
            const ITunesMediaFile& track = mediaFiles[i];
            if (listed[i] != 0) {
                ask({i, {}}, track.getLocation(), track.getArtist(), track.getAlbum(),
                    track.getFileName());
            }
            const std::string key = track.getArtist() + "/" + track.getAlbum();
            if (pipe != nullptr && !arts[key].send && artAsked.insert(key).second) {
                ask({count, key}, arts[key].location, track.getArtist(), track.getAlbum(),
                    kArtFileName);
            }
        }
        while (!asked.empty()) {
            settle(asked.front(), pipe->readCheckReply());
            asked.pop_front();
        }
    }
    transfer.free();

    std::set<std::string> artHandled;
    for (std::size_t i = 0; i < count; ++i) {
        const ITunesMediaFile& track = mediaFiles[i];
        if (listed[i] == 0 || missing[i] != 0) {
            if (!FilesIO::isValidAccessibleFile(track.getLocation())) {
                ++result.skipped;
                continue;
            }
            result.send.push_back(name(track.getArtist(), track.getAlbum(), track.getFileName()));
        } else {
            ++result.present;
        }
        const std::string key = track.getArtist() + "/" + track.getAlbum();
        if (artHandled.count(key) != 0) continue;
        const Art& art = arts[key];
        const std::string location = pipe != nullptr ? art.location : track.getArtLocation();
        if (location.empty() || !FilesIO::isValidAccessibleFile(location)) continue;
        artHandled.insert(key);
        if (art.send)
            result.send.push_back(name(track.getArtist(), track.getAlbum(), kArtFileName));
    }
    return result;
}

void Synchronizer::decline(const std::string& file) {
    Logger::log(kTag, "The device declined " + file);
    declinedFiles.push_back(file);
}

void Synchronizer::confirmRemovals(Run& run, const std::string& deviceId) {
    // The device answered a command sent after the deletions, so it has read them all.
    if (run.unconfirmedDeletes.empty()) return;
    run.journal->remove(deviceId, run.unconfirmedDeletes);
    run.unconfirmedDeletes.clear();
}

void Synchronizer::syncArt(Run& run, const ITunesMediaFile& track, const std::string& artistDir,
                           const std::string& albumDir) {
    std::string key = track.getArtist() + "/" + track.getAlbum();
    if (sentArts.count(key) != 0) return;
    MediaCache& cache = run.cache;
    media::RemovalJournal& journal = *run.journal;
    const std::string deviceId = deviceInfo->getDeviceId();
    const bool known = cache.containsArt(deviceId, track.getArtist(), track.getAlbum());
    const std::string artLocation = track.getArtLocation();
    if (!FilesIO::isValidAccessibleFile(artLocation)) {
        Logger::log(kTag, "Failed to access art :" + artLocation);
        return;
    }
    run.callback->onSyncStatus(progress, "Syncing art :" + track.getAlbum());
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
    confirmRemovals(run, deviceId);
    if (!known) {
        cache.insertArt(deviceId, track.getArtist(), track.getAlbum());
        journal.remove(deviceId, {sending});
    }
    sentArts.emplace(std::move(key), 1);
}
