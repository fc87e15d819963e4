#include "util/JsonInput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string nested(char open, std::size_t depth) {
    return std::string(depth, open);
}

TEST(JsonInputTest, ParsesOrRefusesWithoutThrowing) {
    const struct {
        std::string text;
        bool parses;
    } cases[] = {
        {R"({"response":"ok"})", true},
        {"{\"response\":\"ok\"}\n", true},
        {R"({"a":1} trailing bytes)", true},
        {"// a comment\n{\"a\":1}", true},
        {"[]", true},
        {"", false},
        {"not json", false},
        {R"({"a":)", false},
        {nested('[', 1000), false},
        {nested('[', 100000), false},
        {nested('{', 1000), false},
        {std::string(JsonInput::kMaxDepth, '[') + std::string(JsonInput::kMaxDepth, ']'), true},
        {std::string(JsonInput::kMaxDepth + 1, '[') + std::string(JsonInput::kMaxDepth + 1, ']'),
         false},
        {std::string("{\"a\":\"\0\"}", 9), true},
    };
    for (const auto& c : cases) {
        std::optional<Json::Value> value;
        EXPECT_NO_THROW(value = JsonInput::parse(c.text)) << c.text.substr(0, 40);
        EXPECT_EQ(value.has_value(), c.parses) << c.text.substr(0, 40);
    }
}

TEST(JsonInputTest, KeepsTheValue) {
    const std::optional<Json::Value> value = JsonInput::parse(R"({"ip":"10.0.0.2","port":5000})");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ((*value)["ip"].asString(), "10.0.0.2");
    EXPECT_EQ((*value)["port"].asInt(), 5000);
}

}  // namespace
