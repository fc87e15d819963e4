#include "util/Utils.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

const char Utils::invalids[14] = {'|', '\\', '?', '*', '<', '"',  ':',
                                  '>', '+',  '[', ']', '/', '\'', '\0'};

namespace {
bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
}  // namespace

std::string Utils::makeValidDirName(std::string text) {
    trim(text);
    for (const char* bad = invalids; *bad != '\0'; ++bad) {
        std::replace(text.begin(), text.end(), *bad, '_');
    }
    // A control byte inside a folder name would break the playlist line that names the folder,
    // and "." or ".." would name another folder than its own.
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '_');
    if (text == "." || text == "..") text.assign(text.size(), '_');
    return text;
}

std::string& Utils::trim(std::string& text) {
    return ltrim(rtrim(text));
}

std::string& Utils::ltrim(std::string& text) {
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), isSpace));
    return text;
}

std::string& Utils::rtrim(std::string& text) {
    text.erase(std::find_if_not(text.rbegin(), text.rend(), isSpace).base(), text.end());
    return text;
}

std::vector<std::string> Utils::split(const std::string& text, char delimiter) {
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (text[i] == delimiter) {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

int Utils::compareVersion(const std::string& a, const std::string& b) {
    std::vector<std::string> left = split(a, '.');
    std::vector<std::string> right = split(b, '.');
    while (left.size() < right.size()) left.push_back("0");
    while (right.size() < left.size()) right.push_back("0");
    for (std::size_t i = 0; i < left.size(); ++i) {
        const int l = std::atoi(left[i].c_str());
        const int r = std::atoi(right[i].c_str());
        if (l > r) return 1;
        if (l < r) return -1;
    }
    return 0;
}

long Utils::getFileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return 0;
    return static_cast<long>(info.st_size);
}

std::string Utils::sizeToString(long size) {
    return std::to_string(size);
}

std::string Utils::digestOf(const void* bytes, std::size_t length) {
    if (length == 0) return {};
    char text[17];
    std::snprintf(text, sizeof text, "%016llx",
                  static_cast<unsigned long long>(XXH3_64bits(bytes, length)));
    return text;
}

bool Utils::mapHasKey(const std::map<std::string, std::string>* map, const std::string& key) {
    return map->find(key) != map->end();
}

int Utils::send_all(int socket, const void* buffer, unsigned long length, int flags,
                    int* cancelFlag) {
    const char* next = static_cast<const char*>(buffer);
    unsigned long left = length;
    ssize_t sent = 1;
    while (left > 0) {
        sent = ::send(socket, next, left, flags);
        // A socket with a send time-out is never restarted after a signal handler ran: a
        // Ctrl-C meant as a cancel stops here, any other signal only interrupted the wait.
        if (sent < 0 && errno == EINTR) {
            if (cancelFlag != nullptr &&
                std::atomic_ref<int>(*cancelFlag).load(std::memory_order_relaxed) >= 1) {
                break;
            }
            continue;
        }
        if (sent <= 0) break;
        next += sent;
        left -= static_cast<unsigned long>(sent);
    }
    return sent <= 0 ? -1 : 0;
}
