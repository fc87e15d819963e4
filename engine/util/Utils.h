// Stateless text, size and version helpers shared by the whole engine.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "quillory_export.h"

class QUILLORY_EXPORT Utils {
  public:
    Utils() = default;
    ~Utils() = default;

    // The characters that may not appear in a file or folder name on the device, NUL-terminated.
    static const char invalids[14];

    // Trims the text, then replaces every character of `invalids` and every control byte with
    // "_"; a name that is "." or ".." becomes underscores. Other dots, inner blanks and non-ASCII
    // bytes stay. Any thread.
    static std::string makeValidDirName(std::string text);

    // Trim whitespace (as isspace in the C locale) in place and return the same string.
    static std::string& trim(std::string& text);
    static std::string& ltrim(std::string& text);
    static std::string& rtrim(std::string& text);

    // Cuts the text at every delimiter, keeping empty pieces: "" gives one empty piece,
    // "a." gives "a" and "".
    static std::vector<std::string> split(const std::string& text, char delimiter);

    // Compares dotted versions piece by piece as atoi integers, the shorter padded with "0":
    // 1 when a is newer, -1 when older, 0 when equal ("2.0" equals "2", "1.10" beats "1.9").
    static int compareVersion(const std::string& a, const std::string& b);

    // Size in bytes of the file at path, 0 when it cannot be examined.
    static long getFileSize(const std::string& path);

    // Plain decimal, with a minus sign for negative values.
    static std::string sizeToString(long size);

    // A digest of the bytes (64-bit XXH3 as 16 lowercase hexadecimal digits), stable across
    // runs and machines and the one the engine takes of files; empty for no bytes. Never
    // throws; any thread.
    static std::string digestOf(const void* bytes, std::size_t length);

    static bool mapHasKey(const std::map<std::string, std::string>* map, const std::string& key);

    // Hands every byte of the buffer to the socket, retrying short sends and sends that a
    // signal interrupted. Returns 0 when all were sent, -1 when a send failed or sent nothing
    // (errno tells why). With a cancel flag that holds 1 or more when a signal interrupts the
    // send, it gives up with errno EINTR instead of retrying. Never throws.
    static int send_all(int socket, const void* buffer, unsigned long length, int flags,
                        int* cancelFlag = nullptr);
};
