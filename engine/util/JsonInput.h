// The one door for JSON that comes from outside the program (device replies, announcements,
// files others may have written): parses without ever throwing and refuses deep nesting, so a
// hostile peer can neither crash a reader nor exhaust its stack.
#pragma once

#include <json/value.h>

#include <optional>
#include <string_view>

class JsonInput {
  public:
    // Deeper than any message of the protocol, far below the reader's own stack limit.
    static constexpr unsigned kMaxDepth = 32;

    // The first JSON value of text (comments allowed, anything after the value ignored), or
    // nothing when text holds no value, is malformed or nests deeper than kMaxDepth. Never
    // throws; safe from any thread.
    static std::optional<Json::Value> parse(std::string_view text);
};
