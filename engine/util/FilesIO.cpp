#include "util/FilesIO.h"

#include <xxhash.h>

#include <cstdio>
#include <memory>

#include "util/FileTester.h"

namespace fileutils {

namespace {
std::string hexadecimal(XXH64_hash_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}
}  // namespace

std::string FilesIO::getFileName(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FilesIO::fileExist(const std::string& path) {
    FileTester tester(path.c_str());
    const bool readable = tester.canRead();
    tester.close();
    return readable;
}

bool FilesIO::isValidAccessibleFile(const std::string& path) {
    return fileExist(path);
}

std::string FilesIO::digest(const std::string& path) {
    FileTester tester(path.c_str());
    if (!tester.canOpen()) return {};
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                         &XXH3_freeState);
    if (!state || XXH3_64bits_reset(state.get()) != XXH_OK) return {};
    char chunk[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, tester.getFilePointer())) > 0) {
        XXH3_64bits_update(state.get(), chunk, got);
    }
    if (std::ferror(tester.getFilePointer()) != 0) return {};
    return hexadecimal(XXH3_64bits_digest(state.get()));
}

}  // namespace fileutils
