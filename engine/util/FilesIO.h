// File-name and existence probes used by the sync driver.
#pragma once

#include <cstddef>
#include <string>

#include "quillory_export.h"

namespace fileutils {

class QUILLORY_EXPORT FilesIO {
  public:
    // The text after the last "/": the whole path when it has none, "" when it ends in "/".
    static std::string getFileName(const std::string& path);

    // True when the path opens for reading and its first read yields at least one byte, so an
    // empty file or a directory is false. Never throws; any thread.
    static bool fileExist(const std::string& path);

    // Same as fileExist.
    static bool isValidAccessibleFile(const std::string& path);

    // A digest of the file's bytes (64-bit XXH3 as 16 hexadecimal digits), stable across runs
    // and machines; empty when the file cannot be read. Never throws; any thread.
    static std::string digest(const std::string& path);
    // The same digest of bytes in memory; empty for no bytes.
    static std::string digestOf(const void* bytes, std::size_t length);
};

}  // namespace fileutils
