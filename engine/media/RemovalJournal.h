// The files whose state on a device the cache cannot vouch for: a deletion the device has not
// yet been seen to take ("delete" has no reply), or a file being sent whose cache row is not yet
// written. Every such file is recorded here before the step that makes it uncertain, so that a
// sync killed or cut off at any point leaves the next sync a complete list: it deletes the
// entries no chosen playlist wants (deleting a file the device no longer holds is harmless) and
// sends the wanted ones again. The journal lives in a small JSON file beside the cache and is
// written through a temporary file, so it is never torn.
#pragma once

#include <string>
#include <vector>

namespace media {

class RemovalJournal {
  public:
    struct Entry {
        std::string artist;  // raw names, as the cache keys them
        std::string album;
        std::string fileName;  // "AlbumArt.jpg" for an album's art

        bool operator==(const Entry&) const = default;
    };

    // Reads the journal at path; a missing or unreadable file is an empty journal.
    explicit RemovalJournal(std::string path);

    // The device's uncertain files, in the order they were added.
    std::vector<Entry> entries(const std::string& deviceId) const;
    // Records files about to become uncertain and writes the journal. Never throws: a journal
    // that cannot be written is logged and only loses its help.
    void add(const std::string& deviceId, const std::vector<Entry>& uncertain);
    // The device's state of these files is known again (deletion taken, cache row written):
    // forgets every matching entry.
    void remove(const std::string& deviceId, const std::vector<Entry>& settled);
    // Forgets all of the device's entries.
    void clear(const std::string& deviceId);

  private:
    void save() const;

    std::string path;
    std::vector<std::pair<std::string, Entry>> pending;  // device id, entry
};

}  // namespace media
