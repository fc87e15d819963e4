// Reads one command line of the device protocol as a device app does: a JSON object whose
// members are all strings, one of them "command" (CommandFormatter's lines are such objects).
// Command lines come from outside, so reading never throws and bounds the nesting it accepts.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "quillory_export.h"

class QUILLORY_EXPORT CommandReader {
  public:
    // The command's members by name, or nothing when the line is not JSON, not an object, nests
    // deeper than any command, has a member that is not a string, or has no "command" member.
    // Comments are allowed and text after the object is ignored, as the engine reads replies.
    // Never throws; safe from any thread.
    static std::optional<std::map<std::string, std::string>> parse(std::string_view line);
};
