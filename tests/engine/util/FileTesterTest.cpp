#include "util/FileTester.h"

#include <gtest/gtest.h>

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

TEST(FileTesterTest, OpensOnceAndConsumesTheProbe) {
    testsupport::TempDir dir;
    const std::string path = dir.write("data", std::string(1500, 'd'));
    FileTester tester(path.c_str());
    EXPECT_EQ(tester.getFilePointer(), nullptr);
    ASSERT_TRUE(tester.canOpen());
    FILE* first = tester.getFilePointer();
    ASSERT_TRUE(tester.canOpen());
    EXPECT_EQ(tester.getFilePointer(), first);
    EXPECT_TRUE(tester.canRead());
    EXPECT_EQ(std::ftell(first), 1024);
    tester.close();
    EXPECT_EQ(tester.getFilePointer(), nullptr);
    tester.close();
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
