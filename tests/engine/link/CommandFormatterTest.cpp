#include "link/CommandFormatter.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandFormatterTest, WireBytes) {
    using Members = std::map<std::string, std::string>;
    const struct {
        Members members;
        std::string line;
    } cases[] = {
        {{{"command", "version"}, {"number", "quillorymacbeta"}},
         "{    \"command\" : \"version\",    \"number\" : \"quillorymacbeta\" } "},
        {{}, "null "},
        {{{"command", "bye"}}, "{    \"command\" : \"bye\" } "},
        // Keys in byte order: upper case before lower case, "album" before "artist".
        {{{"artist", "a"}, {"album", "b"}, {"Zed", "c"}},
         "{    \"Zed\" : \"c\",    \"album\" : \"b\",    \"artist\" : \"a\" } "},
        // UTF-8 unchanged; quote, backslash, the five named controls, other controls in upper
        // case hex, DEL unchanged.
        {{{"filename", "Bj\xc3\xb6rk \"Ni\\ght\"\t\x01\x1f\b\f\n\r\x7f.mp3"}},
         "{    \"filename\" : \"Bj\xc3\xb6rk \\\"Ni\\\\ght\\\"\\t\\u0001\\u001F\\b\\f\\n\\r\x7f.mp3\" } "},
        {{{"size", ""}}, "{    \"size\" : \"\" } "},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandFormatter::format(c.members), c.line);
}

}  // namespace
