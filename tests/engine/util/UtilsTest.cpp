#include "util/Utils.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "util/FilesIO.h"

namespace {

TEST(UtilsTest, MakeValidDirName) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"  Best: of/Both  ", "Best_ of_Both"},
        {"\tAbba\n", "Abba"},
        {"|\\?*<\":>+[]/'", "_____________"},
        {"AC/DC", "AC_DC"},
        {"Guns N' Roses", "Guns N_ Roses"},
        {"Sigur R\xc3\xb3s", "Sigur R\xc3\xb3s"},
        {"..", "__"},
        {" . ", "_"},
        {"...", "..."},
        {".hidden", ".hidden"},
        {"a\x01z\x7f", "a_z_"},
        {"Line\nBreak", "Line_Break"},
        {" \t\r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::makeValidDirName(c.in), c.out) << c.in;
}

TEST(UtilsTest, TrimWorksInPlace) {
    std::string text = " \v a b \f";
    EXPECT_EQ(&Utils::trim(text), &text);
    EXPECT_EQ(text, "a b");
    std::string left = "  x ";
    EXPECT_EQ(Utils::ltrim(left), "x ");
    std::string right = "  x ";
    EXPECT_EQ(Utils::rtrim(right), "  x");
    std::string blank = "   ";
    EXPECT_EQ(Utils::ltrim(blank), "");
}

TEST(UtilsTest, Split) {
    using Pieces = std::vector<std::string>;
    const struct {
        std::string in;
        Pieces out;
    } cases[] = {
        {"", {""}},
        {"2.0.1", {"2", "0", "1"}},
        {"a..b", {"a", "", "b"}},
        {"a.", {"a", ""}},
        {".", {"", ""}},
        {"abc", {"abc"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::split(c.in, '.'), c.out) << c.in;
}

TEST(UtilsTest, CompareVersion) {
    const struct {
        std::string a, b;
        int result;
    } cases[] = {
        {"2.0", "2.0.0", 0}, {"2.0", "2", 0},   {"1.10", "1.9", 1}, {"1.9", "1.10", -1},
        {"", "0", 0},        {"2.0.1", "2.0", 1}, {"1.1", "2.0", -1}, {"1a", "1", 0},
        {"1.0", "2.0", -1},  {" 3", "2", 1},      {"-1", "0", -1},    {"x", "0", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utils::compareVersion(c.a, c.b), c.result) << c.a << " vs " << c.b;
    }
}

TEST(UtilsTest, SizesAndMaps) {
    testsupport::TempDir dir;
    EXPECT_EQ(Utils::getFileSize(dir.write("three", "abc")), 3);
    EXPECT_EQ(Utils::getFileSize(dir.file("missing")), 0);
    EXPECT_EQ(Utils::sizeToString(0), "0");
    EXPECT_EQ(Utils::sizeToString(5242880), "5242880");
    EXPECT_EQ(Utils::sizeToString(-12), "-12");
    const std::map<std::string, std::string> map{{"deviceid", ""}};
    EXPECT_TRUE(Utils::mapHasKey(&map, "deviceid"));
    EXPECT_FALSE(Utils::mapHasKey(&map, "DeviceId"));
}

TEST(UtilsTest, DigestOfBytesIsTheDigestOfTheFileHoldingThem) {
    testsupport::TempDir dir;
    // The published XXH3 value: the digest is the same on every machine and in every release.
    EXPECT_EQ(Utils::digestOf("abc", 3), "78af5f94892f3950");
    EXPECT_EQ(Utils::digestOf("", 0), "");
    const std::string cases[] = {
        "abc",
        std::string("\0\xff\n", 3),
        std::string(200'000, 'x'),  // more than one read of the file
    };
    for (const std::string& bytes : cases) {
        const std::string digest = Utils::digestOf(bytes.data(), bytes.size());
        EXPECT_EQ(digest.size(), 16u);
        EXPECT_EQ(fileutils::FilesIO::digest(dir.write("bytes", bytes)), digest) << bytes.size();
    }
    EXPECT_EQ(fileutils::FilesIO::digest(dir.file("missing")), "");
}

TEST(FilesIOTest, GetFileName) {
    EXPECT_EQ(fileutils::FilesIO::getFileName("/tmp/quillory/Mix.m3u"), "Mix.m3u");
    EXPECT_EQ(fileutils::FilesIO::getFileName("Mix.m3u"), "Mix.m3u");
    EXPECT_EQ(fileutils::FilesIO::getFileName("/tmp/"), "");
}

}  // namespace
