#include "link/CommandReader.h"

#include <json/value.h>

#include "util/JsonInput.h"

std::optional<std::map<std::string, std::string>> CommandReader::parse(std::string_view line) {
    const std::optional<Json::Value> parsed = JsonInput::parse(line);
    if (!parsed || !parsed->isObject()) return std::nullopt;
    std::map<std::string, std::string> members;
    for (const std::string& key : parsed->getMemberNames()) {
        const Json::Value& value = (*parsed)[key];
        if (!value.isString()) return std::nullopt;
        members[key] = value.asString();
    }
    if (members.count("command") == 0) return std::nullopt;
    return members;
}
