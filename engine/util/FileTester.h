// Opens one file for reading and probes whether it yields data. Owns the stream it opens.
#pragma once

#include <cstdio>

class FileTester {
public:
    // Keeps the pointer, not a copy: the caller keeps the path alive while the tester lives.
    explicit FileTester(const char* path);
    virtual ~FileTester();

    FileTester(const FileTester&) = delete;
    FileTester& operator=(const FileTester&) = delete;

    // Opens the path with "rb" unless already open; true when the stream is open.
    bool canOpen();

    // canOpen, then reads up to 1024 bytes (consuming them): false when nothing was read or a
    // short read set the error indicator.
    bool canRead();

    // The open stream, or null. The tester still owns it.
    FILE* getFilePointer();

    // Closes the stream if open; safe to call again.
    void close();

private:
    FILE* file = nullptr;
    const char* path;
};
