#include "main/widgets/PlaylistListModel.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <memory>

#include "main/SyncListEditor.h"

namespace {

const QStringList kLibrary{QStringLiteral("Rock"), QStringLiteral("Jazz"), QStringLiteral("Mix"),
                           QStringLiteral("Jazz")};

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
