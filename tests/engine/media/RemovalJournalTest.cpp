// The journal of files whose state on a device is uncertain, on real files: what it keeps
// across a restart, and what it makes of a file that was cut short or written by someone else.
#include "media/RemovalJournal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "support/TempDir.h"
#include "util/JsonInput.h"

namespace {

using media::RemovalJournal;
using Entries = std::vector<RemovalJournal::Entry>;
using testsupport::readFile;
using testsupport::TempDir;

const RemovalJournal::Entry kKept{"Ana Sol", "Dawn", "01 Rise.mp3"};
const RemovalJournal::Entry kOther{"Sigrún Ó", "Kyrrð", "AlbumArt.jpg"};
const RemovalJournal::Entry kNew{"AC\"DC", "Back\\Slash", "02 Noon.mp3"};

// The journal file's items as written, or nothing when the file is not a JSON array of arrays
// of four strings.
std::optional<std::vector<std::vector<std::string>>> itemsOnDisk(const std::string& path) {
    const std::optional<Json::Value> root = JsonInput::parse(readFile(path));
    if (!root || !root->isArray()) return std::nullopt;
    std::vector<std::vector<std::string>> items;
    for (const Json::Value& item : *root) {
        if (!item.isArray() || item.size() != 4) return std::nullopt;
        std::vector<std::string> fields;
        for (const Json::Value& field : item) {
            if (!field.isString()) return std::nullopt;
            fields.push_back(field.asString());
        }
        items.push_back(fields);
    }
    return items;
}

TEST(RemovalJournalTest, KeepsEntriesPerDeviceAcrossARestart) {
    TempDir dir;
    const std::string path = dir.file("journal.json");
    RemovalJournal journal(path);
    EXPECT_TRUE(journal.entries("d").empty());
    EXPECT_FALSE(std::filesystem::exists(path));

    journal.add("d", {kKept, kOther});
    journal.add("e", {kKept});
    journal.add("d", {kNew, kKept});
    EXPECT_EQ(journal.entries("d"), (Entries{kKept, kOther, kNew, kKept}));
    EXPECT_EQ(RemovalJournal(path).entries("d"), (Entries{kKept, kOther, kNew, kKept}));
    EXPECT_EQ(RemovalJournal(path).entries("e"), Entries{kKept});
    EXPECT_TRUE(RemovalJournal(path).entries("D").empty());

    // Settling forgets every matching entry of that device only; all three names must match.
    journal.remove("d", {kKept, {kOther.artist, kOther.album, "other.jpg"}});
    EXPECT_EQ(RemovalJournal(path).entries("d"), (Entries{kOther, kNew}));
    EXPECT_EQ(RemovalJournal(path).entries("e"), Entries{kKept});

    journal.clear("d");
    EXPECT_TRUE(RemovalJournal(path).entries("d").empty());
    EXPECT_EQ(RemovalJournal(path).entries("e"), Entries{kKept});
    // Nothing uncertain left: no file either.
    journal.clear("e");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(RemovalJournalTest, DamagedFileReadsAsEmptyAndTheNextAddRewritesItWhole) {
    const std::string good = R"(["d","Ana Sol","Dawn","01 Rise.mp3"])";
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"cut inside an entry", "[" + good + R"(,["d","Ana)"},
        {"cut before the closing bracket", "[" + good},
        {"an object", R"({"d":["Ana Sol","Dawn","01 Rise.mp3"]})"},
        {"a string", R"("d")"},
        {"a number", "42"},
        {"null", "null"},
        {"not JSON", "journal"},
        {"binary", std::string("\xff\xfe\0\x01[", 5)},
        {"nested without end", std::string(100000, '[')},
        // Too deep for any reader to trust: the whole file is refused, the good entry with it.
        {"an entry nested too deep", "[" + good + "," + std::string(JsonInput::kMaxDepth, '[') +
                                         std::string(JsonInput::kMaxDepth, ']') + "]"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.write("journal.json", c.text);
        std::optional<RemovalJournal> journal;
        ASSERT_NO_THROW(journal.emplace(path)) << c.what;
        EXPECT_TRUE(journal->entries("d").empty()) << c.what;

        journal->add("d", {kNew});
        EXPECT_EQ(
            itemsOnDisk(path),
            (std::vector<std::vector<std::string>>{{"d", kNew.artist, kNew.album, kNew.fileName}}))
            << c.what;
        EXPECT_EQ(RemovalJournal(path).entries("d"), Entries{kNew}) << c.what;
        EXPECT_FALSE(std::filesystem::exists(path + ".new")) << c.what;
    }
}

TEST(RemovalJournalTest, DamagedEntriesAreSkippedAndTheOthersKept) {
    const std::string first = R"(["d","Ana Sol","Dawn","01 Rise.mp3"])";
    const std::string second = R"(["d","Sigrún Ó","Kyrrð","AlbumArt.jpg"])";
    const char* damaged[] = {
        R"(["d","Ana Sol","Dawn"])",
        R"(["d","Ana Sol","Dawn","01 Rise.mp3","extra"])",
        R"([])",
        R"({"0":"d","1":"Ana Sol","2":"Dawn","3":"01 Rise.mp3"})",
        R"("d Ana Sol Dawn 01 Rise.mp3")",
        R"(null)",
        R"(7)",
        R"(["d",1,"Dawn","01 Rise.mp3"])",
        R"(["d","Ana Sol",null,"01 Rise.mp3"])",
        R"(["d","Ana Sol","Dawn",true])",
        R"([["d"],"Ana Sol","Dawn","01 Rise.mp3"])",
        R"(["d","Ana Sol","Dawn",{"name":"01 Rise.mp3"}])",
    };
    for (const char* entry : damaged) {
        TempDir dir;
        const std::string path =
            dir.write("journal.json", "[" + first + "," + entry + "," + second + "]");
        std::optional<RemovalJournal> journal;
        ASSERT_NO_THROW(journal.emplace(path)) << entry;
        EXPECT_EQ(journal->entries("d"), (Entries{kKept, kOther})) << entry;

        // The rewrite keeps what was readable and drops the damage.
        journal->add("d", {kNew});
        EXPECT_EQ(itemsOnDisk(path), (std::vector<std::vector<std::string>>{
                                         {"d", kKept.artist, kKept.album, kKept.fileName},
                                         {"d", kOther.artist, kOther.album, kOther.fileName},
                                         {"d", kNew.artist, kNew.album, kNew.fileName}}))
            << entry;
    }
}

TEST(RemovalJournalTest, AJournalThatCannotBeWrittenNeverThrows) {
    TempDir dir;
    // A folder where the file should be reads as an empty journal, and stays.
    std::filesystem::create_directories(dir.file("taken/journal.json"));
    std::optional<RemovalJournal> taken;
    ASSERT_NO_THROW(taken.emplace(dir.file("taken/journal.json")));
    EXPECT_TRUE(taken->entries("d").empty());
    EXPECT_NO_THROW(taken->add("d", {kKept}));
    EXPECT_EQ(taken->entries("d"), Entries{kKept});
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken/journal.json")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("taken/journal.json.new")));
    EXPECT_NO_THROW(taken->clear("d"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken/journal.json")));

    // Its folder is gone (a working folder deleted while the program runs).
    const std::string path = dir.file("gone/journal.json");
    std::optional<RemovalJournal> journal;
    ASSERT_NO_THROW(journal.emplace(path));
    EXPECT_TRUE(journal->entries("d").empty());
    EXPECT_NO_THROW(journal->add("d", {kKept, kNew}));
    // It still helps the sync that runs now.
    EXPECT_EQ(journal->entries("d"), (Entries{kKept, kNew}));
    EXPECT_NO_THROW(journal->remove("d", {kKept}));
    EXPECT_EQ(journal->entries("d"), Entries{kNew});
    EXPECT_NO_THROW(journal->clear("d"));
    EXPECT_TRUE(journal->entries("d").empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("gone")));
}

}  // namespace
