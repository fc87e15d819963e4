#include "util/FileTester.h"

FileTester::FileTester(const char* path) : path(path) {}

FileTester::~FileTester() {
    close();
}

bool FileTester::canOpen() {
    if (file != nullptr) return true;
    file = std::fopen(path, "rb");
    return file != nullptr;
}

bool FileTester::canRead() {
    if (!canOpen()) return false;
    char scratch[1024];
    const std::size_t got = std::fread(scratch, 1, sizeof scratch, file);
    if (got == 0) return false;
    if (got < sizeof scratch && std::ferror(file) != 0) return false;
    return true;
}

FILE* FileTester::getFilePointer() {
    return file;
}

void FileTester::close() {
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
}
