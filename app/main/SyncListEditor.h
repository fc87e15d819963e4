// The two lists of the main window as plain data: the library's playlist names and the sync
// list the user builds from them, with the edits the buttons and drops make, and the payload a
// drag carries (the dragged row numbers).
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

class SyncListEditor {
  public:
    // Drag payload types: rows dragged out of the source list, rows dragged out of the sync list.
    static constexpr const char* kSourceType = "SourceTableViewDragAndDropDataType";
    static constexpr const char* kDestType = "DestTableViewDragAndDropDataType";

    SyncListEditor(QStringList playlistNames, QStringList syncPlaylist);

    const QStringList& playlistNames() const { return names; }
    const QStringList& syncPlaylist() const { return syncList; }
    void setPlaylistNames(QStringList playlistNames) { names = std::move(playlistNames); }
    // Whether the sync list's name at row is missing from the library (a name saved by an
    // earlier run that the library no longer has, or any name while it cannot be read).
    bool isMissing(int row) const {
        return row >= 0 && row < syncList.size() && !names.contains(syncList[row]);
    }

    // Appends the library names at those rows, in ascending row order, skipping names the sync
    // list holds already and rows that do not exist.
    void addIndexesToSyncList(QList<int> rows);
    // The sync list becomes all library names, in order, duplicates kept.
    void addAll();
    void removeIndexesFromSyncList(QList<int> rows);
    void removeAll();

    // Row numbers as the drag payload, and back (an unreadable payload gives no rows).
    static QByteArray archive(QList<int> rows);
    static QList<int> unarchive(const QByteArray& payload);

  private:
    QStringList names;
    QStringList syncList;
};
