#include "link/CommandReader.h"

#include <gtest/gtest.h>

#include <string>

#include "link/CommandFormatter.h"

namespace {

using Members = std::map<std::string, std::string>;

// A command as one text, "dropped" for none, so that a case compares all of it.
std::string shown(const std::optional<Members>& command) {
    if (!command) return "dropped";
    std::string text;
    for (const auto& [key, value] : *command) text += key + "=" + value + ";";
    return text;
}

TEST(CommandReaderTest, ReadsWhatTheFormatterWrites) {
    const Members cases[] = {
        {{"command", "version"}, {"number", "quillorymacbeta"}},
        {{"command", "bye"}},
        {{"album", "b"}, {"artist", "a"}, {"command", "delete"}, {"filename", "c.mp3"}},
        {{"command", "syncmedia"},
         {"filename", "Bj\xc3\xb6rk \"Ni\\ght\"\t\x01\x1f\b\f\n\r\x7f.mp3"},
         {"size", ""}},
    };
    for (const Members& members : cases) {
        const std::string line = CommandFormatter::format(members);
        EXPECT_EQ(shown(CommandReader::parse(line)), shown(members)) << line;
        EXPECT_EQ(shown(CommandReader::parse(line + "\n")), shown(members)) << line;
    }
}

TEST(CommandReaderTest, TakesOnlyObjectsOfStringsWithACommand) {
    const struct {
        std::string line;
        const char* command;
    } cases[] = {
        {R"({"command":"bye"})", "command=bye;"},
        {R"({"size":"12","command":"syncart"})", "command=syncart;size=12;"},
        // Read as replies are: comments allowed, whatever follows the object ignored.
        {R"(/* hello */ {"command":"bye"})", "command=bye;"},
        {R"({"command":"bye"} and more)", "command=bye;"},

        {R"({"artist":"a"})", "dropped"},
        {"{}", "dropped"},
        {R"({"command":5})", "dropped"},
        {R"({"command":"delete","size":10})", "dropped"},
        {R"({"command":"delete","artist":null})", "dropped"},
        {R"({"command":"delete","artist":true})", "dropped"},
        {R"({"command":"delete","artist":["a"]})", "dropped"},
        {R"({"command":"delete","artist":{"name":"a"}})", "dropped"},
        {R"(["command","bye"])", "dropped"},
        {R"("bye")", "dropped"},
        {"null", "dropped"},
        {"not json", "dropped"},
        {R"({"command":"bye")", "dropped"},
        {"", "dropped"},
        {std::string(1001, '['), "dropped"},
        {R"({"command":"bye","extra":)" + std::string(100, '[') + std::string(100, ']') + "}",
         "dropped"},
    };
    for (const auto& c : cases) {
        std::optional<Members> command;
        ASSERT_NO_THROW(command = CommandReader::parse(c.line)) << c.line.substr(0, 40);
        EXPECT_EQ(shown(command), c.command) << c.line.substr(0, 40);
    }
}

}  // namespace
