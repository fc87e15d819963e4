#include "util/FilesIO.h"

#include "util/FileTester.h"

namespace fileutils {

std::string FilesIO::getFileName(std::string path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FilesIO::fileExist(std::string path) {
    FileTester tester(path.c_str());
    const bool readable = tester.canRead();
    tester.close();
    return readable;
}

bool FilesIO::isValidAccessibleFile(std::string path) {
    return fileExist(path);
}

}  // namespace fileutils
