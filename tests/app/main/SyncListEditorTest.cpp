#include "main/SyncListEditor.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const QStringList kLibrary{QStringLiteral("Rock"), QStringLiteral("Jazz"), QStringLiteral("Mix"),
                           QStringLiteral("Jazz")};

TEST(SyncListEditorTest, Edits) {
    const struct {
        const char* what;
        QStringList start;
        std::function<void(SyncListEditor&)> edit;
        QStringList end;
    } cases[] = {
        {"a held name stays once, in its old place",
         {QStringLiteral("Mix"), QStringLiteral("Rock")},
         [](SyncListEditor& e) {
             e.addIndexesToSyncList({2, 1, 0});
         },
         {QStringLiteral("Mix"), QStringLiteral("Rock"), QStringLiteral("Jazz")}},
        {"rows that do not exist are ignored",
         {},
         [](SyncListEditor& e) {
             e.addIndexesToSyncList({-1, 9, 1});
         },
         {QStringLiteral("Jazz")}},
        {"add all discards the old order and keeps duplicates",
         {QStringLiteral("Mix")},
         [](SyncListEditor& e) { e.addAll(); },
         kLibrary},
        {"remove by rows",
         {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
         [](SyncListEditor& e) {
             e.removeIndexesFromSyncList({0, 2, 7});
         },
         {QStringLiteral("B")}},
        {"remove all", {QStringLiteral("A")}, [](SyncListEditor& e) { e.removeAll(); }, {}},
        {"a saved name the library lost stays",
         {QStringLiteral("Gone")},
         [](SyncListEditor& e) { e.addIndexesToSyncList({0}); },
         {QStringLiteral("Gone"), QStringLiteral("Rock")}},
    };
    for (const auto& c : cases) {
        SyncListEditor editor(kLibrary, c.start);
        c.edit(editor);
        EXPECT_EQ(editor.syncPlaylist(), c.end) << c.what;
    }
    EXPECT_EQ(SyncListEditor::unarchive(SyncListEditor::archive({3, 1})), (QList<int>{1, 3}));
    EXPECT_TRUE(SyncListEditor::unarchive("garbage").isEmpty());
}

}  // namespace
