// A file being received: written under a temporary name beside its target and renamed into
// place by commit(). Destroyed without a commit, it deletes the temporary file, so a broken
// transfer never leaves a partial file under the real name.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

class PendingFile {
public:
    // Creates the temporary file in target's folder (which must exist). Check ok() after.
    // A non-empty failure gives a pending file that has already failed for that reason.
    explicit PendingFile(std::filesystem::path target, std::string failure = "");
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return error.empty(); }
    // Why the file could not be created or written ("" while all is well).
    const std::string& failure() const { return error; }
    // Appends bytes; after a failure further writes are ignored (the bytes still have to be
    // read from the client).
    void write(const char* bytes, std::size_t length);
    // Renames the temporary file onto the target; false (and failure() says why) if it fails.
    bool commit();

private:
    std::filesystem::path target;
    std::string temporary;
    int fd = -1;
    std::string error;
};
