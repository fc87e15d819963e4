// The store's hidden parts folder as one connection uses it: made at the connection's first
// file and removed, when empty, as the connection ends. Removing a folder is not free (ext4
// frees the folder's inode on the last close, which took milliseconds here); per file, that
// cost would hold up every reply between files. Used on the serving thread only.
#pragma once

#include <string>

#include "DeviceStore.h"
#include "UniqueFd.h"

class PartsFolder {
  public:
    // Opens nothing yet; store must outlive this.
    explicit PartsFolder(const DeviceStore& store);
    // Closes the folder and removes it if nothing is left in it.
    ~PartsFolder();
    PartsFolder(const PartsFolder&) = delete;
    PartsFolder& operator=(const PartsFolder&) = delete;

    // The folder's descriptor, made and opened when missing (also when someone removed it since
    // it was opened); -1 with reason set on failure.
    int open(std::string& reason);

  private:
    const DeviceStore& store;
    UniqueFd folder;
};
