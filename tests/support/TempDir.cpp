#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillory-test-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string TempDir::file(const std::string& name) const {
    return (root / name).string();
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path target = root / name;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << bytes;
    return target.string();
}

std::string TempDir::copyTemplateDb(const std::string& name) const {
    const std::filesystem::path target = root / name;
    std::filesystem::copy_file(QUILLORY_TEMPLATE_DB, target,
                               std::filesystem::copy_options::overwrite_existing);
    return target.string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
