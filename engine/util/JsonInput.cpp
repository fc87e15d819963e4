#include "util/JsonInput.h"

#include <json/reader.h>

#include <exception>
#include <memory>

std::optional<Json::Value> JsonInput::parse(std::string_view text) {
    try {
        Json::CharReaderBuilder builder;
        builder["collectComments"] = true;
        builder["failIfExtra"] = false;
        // The reader throws instead of failing when the limit is passed; caught below.
        builder["stackLimit"] = kMaxDepth;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value value;
        std::string errors;
        if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        // jsoncpp's own exceptions and an allocation failure on absurd input alike: the text
        // is not a message we can use.
        return std::nullopt;
    }
}
