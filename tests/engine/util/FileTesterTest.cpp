#include "util/FileTester.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/TempDir.h"
#include "util/FilesIO.h"

namespace {

using fileutils::FilesIO;

TEST(FileTesterTest, ProbesByFirstRead) {
    testsupport::TempDir dir;
    const struct {
        std::string path;
        bool readable;
    } cases[] = {
        {dir.write("empty", ""), false},
        {dir.write("three", "abc"), true},
        {dir.write("kilo", std::string(1024, 'k')), true},
        {dir.write("more", std::string(3000, 'm')), true},
        {dir.path().string(), false},
        {dir.file("missing"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilesIO::fileExist(c.path), c.readable) << c.path;
        EXPECT_EQ(FilesIO::isValidAccessibleFile(c.path), c.readable) << c.path;
    }
}

// The rest of the stream, read through the tester's own pointer.
std::string rest(FileTester& tester) {
    std::string bytes;
    char chunk[512];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, tester.getFilePointer())) > 0) {
        bytes.append(chunk, got);
    }
    return bytes;
}

TEST(FileTesterTest, OpeningLeavesEveryByteToTheReaderAndProbingTakesTheFirstKiB) {
    testsupport::TempDir dir;
    std::string content(1500, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    const std::string path = dir.write("data", content);

    // A file is sent from the stream canOpen leaves: it must start at the first byte.
    FileTester sender(path.c_str());
    EXPECT_EQ(sender.getFilePointer(), nullptr);
    ASSERT_TRUE(sender.canOpen());
    FILE* stream = sender.getFilePointer();
    ASSERT_TRUE(sender.canOpen());
    EXPECT_EQ(sender.getFilePointer(), stream);  // opened once, not again
    EXPECT_EQ(rest(sender), content);

    FileTester prober(path.c_str());
    EXPECT_TRUE(prober.canRead());
    EXPECT_EQ(rest(prober), content.substr(1024));

    // Closed, it lets go of the stream; closing again is harmless, and it opens afresh.
    prober.close();
    EXPECT_EQ(prober.getFilePointer(), nullptr);
    prober.close();
    ASSERT_TRUE(prober.canOpen());
    EXPECT_EQ(rest(prober), content);
}

TEST(FileTesterTest, MissingFileDoesNotOpen) {
    testsupport::TempDir dir;
    const std::string path = dir.file("missing");
    FileTester tester(path.c_str());
    EXPECT_FALSE(tester.canOpen());
    EXPECT_FALSE(tester.canRead());
    EXPECT_EQ(tester.getFilePointer(), nullptr);
}

}  // namespace
