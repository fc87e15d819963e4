// A file being received: written under a temporary name in the connection's parts folder and
// renamed into place by commit(). Destroyed without a commit, it deletes the temporary file, so
// a broken transfer never leaves a partial file under the real name, nor beside it.
#pragma once

#include <cstddef>
#include <string>

#include "DeviceStore.h"
#include "PartsFolder.h"
#include "UniqueFd.h"

class PendingFile {
  public:
    // Creates the temporary file for target in parts; store and parts must outlive this. Check
    // ok() after.
    PendingFile(const DeviceStore& store, PartsFolder& parts, DeviceStore::Place target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return error.empty(); }
    // Why the file could not be created, written or committed ("" while all is well).
    const std::string& failure() const { return error; }
    // Appends bytes; after a failure further writes are ignored (the bytes still have to be
    // read from the client).
    void write(const char* bytes, std::size_t length);
    // Makes the target's folders (never through a symbolic link) and renames the temporary file
    // onto the target; false (and failure() says why) if that fails. Either way the temporary
    // file is gone when it returns. Call once.
    bool commit();

  private:
    // Deletes the temporary file, if still there.
    void discard();

    const DeviceStore& store;
    DeviceStore::Place target;
    int parts = -1;  // the folder's descriptor, owned by the PartsFolder
    std::string temporary;  // name in the parts folder, "" once gone
    UniqueFd file;
    std::string error;
};
