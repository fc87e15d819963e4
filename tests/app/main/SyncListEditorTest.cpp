#include "SyncListEditor.h"

#include <gtest/gtest.h>

#include <QMimeData>

#include "PlaylistListModel.h"

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

TEST(PlaylistListModelTest, DragsBetweenTheLists) {
    SyncListEditor editor(kLibrary, {QStringLiteral("Mix")});
    int edits = 0;
    PlaylistListModel source(editor, PlaylistListModel::Side::Source, [&] { ++edits; });
    PlaylistListModel sync(editor, PlaylistListModel::Side::Sync, [&] { ++edits; });
    EXPECT_EQ(source.rowCount(), 4);
    EXPECT_EQ(sync.data(sync.index(0), Qt::DisplayRole).toString(), QStringLiteral("Mix"));

    std::unique_ptr<QMimeData> fromSource(source.mimeData({source.index(1), source.index(0)}));
    EXPECT_TRUE(fromSource->hasFormat(QLatin1String(SyncListEditor::kSourceType)));
    // Not back onto its own list; onto the sync list at any row, appended at the end.
    EXPECT_FALSE(source.canDropMimeData(fromSource.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_FALSE(source.dropMimeData(fromSource.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_TRUE(sync.canDropMimeData(fromSource.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_TRUE(sync.dropMimeData(fromSource.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_EQ(editor.syncPlaylist(),
              (QStringList{QStringLiteral("Mix"), QStringLiteral("Rock"), QStringLiteral("Jazz")}));

    std::unique_ptr<QMimeData> fromSync(sync.mimeData({sync.index(0), sync.index(2)}));
    EXPECT_TRUE(fromSync->hasFormat(QLatin1String(SyncListEditor::kDestType)));
    EXPECT_FALSE(sync.canDropMimeData(fromSync.get(), Qt::CopyAction, -1, -1, {}));
    EXPECT_TRUE(source.dropMimeData(fromSync.get(), Qt::MoveAction, 2, 0, {}));
    EXPECT_EQ(editor.syncPlaylist(), (QStringList{QStringLiteral("Rock")}));
    EXPECT_EQ(edits, 2);
}

}  // namespace
