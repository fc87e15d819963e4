// A fresh folder under the system's temporary folder, deleted with everything in it at the end
// of the test; plus small helpers for files on disk.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    // path() / name as text.
    std::string file(const std::string& name) const;
    // Writes bytes to path() / name (creating folders) and returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // A copy of the generated template cache database at path() / name.
    std::string copyTemplateDb(const std::string& name = "db.s3db") const;

private:
    std::filesystem::path root;
};

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace testsupport
