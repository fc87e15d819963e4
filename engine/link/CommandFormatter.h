// Serialises a command for the device protocol: the bytes jsoncpp's styled writer gave with
// three-space indentation, on one line (every LF turned into a blank). Members in byte order
// of their keys; UTF-8 passes unchanged; an empty command is "null".
#pragma once

#include <map>
#include <string>

class CommandFormatter {
  public:
    // The line without its final LF, e.g. {    "command" : "bye" } with a trailing blank.
    static std::string format(const std::map<std::string, std::string>& members);
    // A JSON string literal: quote, backslash and bytes below 32 escaped, the rest unchanged.
    static std::string quote(const std::string& text);
};
