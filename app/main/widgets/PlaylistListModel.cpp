#include "main/widgets/PlaylistListModel.h"

#include <QFont>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>

PlaylistListModel::PlaylistListModel(SyncListEditor& editor, Side side,
                                     std::function<void()> edited, QObject* parent)
    : QAbstractListModel(parent), editor(editor), side(side), edited(std::move(edited)) {}

void PlaylistListModel::reload() {
    beginResetModel();
    endResetModel();
}

const QStringList& PlaylistListModel::rows() const {
    return side == Side::Source ? editor.playlistNames() : editor.syncPlaylist();
}

const char* PlaylistListModel::ownType() const {
    return side == Side::Source ? SyncListEditor::kSourceType : SyncListEditor::kDestType;
}

const char* PlaylistListModel::acceptedType() const {
    return side == Side::Source ? SyncListEditor::kDestType : SyncListEditor::kSourceType;
}

int PlaylistListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows().size());
}

QVariant PlaylistListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows().size()) return {};
    const QString& name = rows()[index.row()];
    // A sync-list name the library lacks stays listed (the user decides), but plainly marked:
    // syncing it removes its tracks from the device.
    const bool missing = side == Side::Sync && editor.isMissing(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return missing ? missingText(name) : name;
        case Qt::ToolTipRole:
            return missing ? QStringLiteral(
                                 "%1: not in the music library; a sync removes its "
                                 "tracks from the device")
                                 .arg(name)
                           : name;
        case Qt::FontRole:
            if (missing) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            return {};
        case Qt::ForegroundRole:
            if (missing)
                return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
            return {};
        default:
            return {};
    }
}

Qt::ItemFlags PlaylistListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList PlaylistListModel::mimeTypes() const {
    return {QLatin1String(acceptedType())};
}

QMimeData* PlaylistListModel::mimeData(const QModelIndexList& indexes) const {
    QList<int> dragged;
    for (const QModelIndex& index : indexes) dragged << index.row();
    auto* data = new QMimeData;
    data->setData(QLatin1String(ownType()), SyncListEditor::archive(dragged));
    return data;
}

bool PlaylistListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                        const QModelIndex&) const {
    return data != nullptr && data->hasFormat(QLatin1String(acceptedType()));
}

bool PlaylistListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                     int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    const QList<int> rows = SyncListEditor::unarchive(data->data(QLatin1String(acceptedType())));
    // Where the rows were dropped does not matter: added names go to the end.
    if (side == Side::Sync) {
        editor.addIndexesToSyncList(rows);
    } else {
        editor.removeIndexesFromSyncList(rows);
    }
    if (edited) edited();
    return true;
}

Qt::DropActions PlaylistListModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

Qt::DropActions PlaylistListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}
