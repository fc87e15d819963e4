// One of the main window's two lists (the library's playlists or the sync list) for a view, with
// the drags and drops between them: rows dragged out carry their numbers; the sync list accepts
// rows of the source list (appending them), the source list accepts rows of the sync list
// (removing them), and neither accepts its own rows. Main thread.
#pragma once

#include <QAbstractListModel>
#include <functional>

#include "main/SyncListEditor.h"

class PlaylistListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    enum class Side { Source, Sync };

    // edited is called after a drop changed the sync list.
    PlaylistListModel(SyncListEditor& editor, Side side, std::function<void()> edited,
                      QObject* parent = nullptr);

    // How a sync-list row whose playlist the library lacks reads.
    static QString missingText(const QString& name) {
        return QStringLiteral("%1 (missing from the library)").arg(name);
    }

    // Call after the editor's lists changed.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

  private:
    const QStringList& rows() const;
    const char* ownType() const;
    const char* acceptedType() const;

    SyncListEditor& editor;
    Side side;
    std::function<void()> edited;
};
