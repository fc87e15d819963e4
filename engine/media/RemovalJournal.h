// The deletions sent to a device that it has not yet been seen to take. "delete" has no reply,
// so a connection that breaks after it leaves the device's state unknown while the cache has
// already forgotten the file; the journal keeps those names so that the next sync can send the
// deletions again (deleting a file the device no longer holds is harmless). It lives in a small
// JSON file beside the cache and is written through a temporary file, so it is never torn.
#pragma once

#include <string>
#include <vector>

#include "quillory_export.h"

namespace media {

class QUILLORY_EXPORT RemovalJournal {
public:
    struct Entry {
        std::string artist;  // raw names, as the cache keys them
        std::string album;
        std::string fileName;  // "AlbumArt.jpg" for an album's art
    };

    // Reads the journal at path; a missing or unreadable file is an empty journal.
    explicit RemovalJournal(std::string path);

    // The device's deletions still unconfirmed.
    std::vector<Entry> entries(const std::string& deviceId) const;
    // Adds deletions about to be sent and writes the journal. Never throws: a journal that
    // cannot be written only loses its help.
    void add(const std::string& deviceId, const std::vector<Entry>& sent);
    // The device answered after the deletions: forget them.
    void clear(const std::string& deviceId);

private:
    void save() const;

    std::string path;
    std::vector<std::pair<std::string, Entry>> pending;  // device id, entry
};

}  // namespace media
