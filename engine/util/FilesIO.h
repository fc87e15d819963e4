// File-name and existence probes used by the sync driver.
#pragma once

#include <string>

namespace fileutils {

class FilesIO {
  public:
    // The text after the last "/": the whole path when it has none, "" when it ends in "/".
    static std::string getFileName(const std::string& path);

    // True when the path opens for reading and its first read yields at least one byte, so an
    // empty file or a directory is false. Never throws; any thread.
    static bool fileExist(const std::string& path);

    // Same as fileExist.
    static bool isValidAccessibleFile(const std::string& path);

    // A digest of the file's bytes, the one Utils::digestOf gives for them in memory; empty
    // when the file cannot be read. Never throws; any thread.
    static std::string digest(const std::string& path);
};

}  // namespace fileutils
