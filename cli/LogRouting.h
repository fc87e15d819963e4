// Keeps quillory-sync's standard error for its own messages. The engine writes its log to
// standard error and the app's cores log through Qt; unless the user asks to see that log, both
// go to a file, so that they neither run through the progress lines nor read as errors.
#pragma once

#include <QString>
#include <cstdio>

class LogRouting {
  public:
    // Installs a Qt message handler that writes each message, in Qt's message pattern, to
    // standard error in one write; then, when logFile is not empty, points standard error
    // itself at logFile (appended, its folder made when missing). Returns the stream for the
    // program's own messages: the standard error the program started with, unbuffered. When
    // logFile cannot be opened, says so on that stream and drops the log. Call once, on the
    // main thread, before any other thread starts; throws nothing.
    static FILE* route(const QString& logFile);
};
