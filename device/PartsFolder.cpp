#include "PartsFolder.h"

#include <sys/stat.h>

PartsFolder::PartsFolder(const DeviceStore& owner) : store(owner) {}

PartsFolder::~PartsFolder() {
    if (!folder.valid()) return;
    folder.reset();
    store.tidyPartsFolder();
}

int PartsFolder::open(std::string& reason) {
    struct stat info {};
    // A folder removed while open has no links left, and no file can be made in it.
    if (folder.valid() && (::fstat(folder.get(), &info) != 0 || info.st_nlink == 0)) {
        folder.reset();
    }
    if (!folder.valid()) folder = store.openPartsFolder(reason);
    return folder.get();
}
