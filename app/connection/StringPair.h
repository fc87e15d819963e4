// The result of one connection attempt: key "success" or the engine error's kind code, value the
// error's message (absent on success).
#pragma once

#include <QString>
#include <optional>

struct StringPair {
    std::optional<QString> key;
    std::optional<QString> value;
};
