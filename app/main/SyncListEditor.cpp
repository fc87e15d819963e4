#include "main/SyncListEditor.h"

#include <QDataStream>
#include <QIODevice>
#include <algorithm>

SyncListEditor::SyncListEditor(QStringList playlistNames, QStringList syncPlaylist)
    : names(std::move(playlistNames)), syncList(std::move(syncPlaylist)) {}

void SyncListEditor::addIndexesToSyncList(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : rows) {
        if (row < 0 || row >= names.size()) continue;
        if (!syncList.contains(names[row])) syncList.append(names[row]);
    }
}

void SyncListEditor::addAll() {
    syncList = names;
}

void SyncListEditor::removeIndexesFromSyncList(QList<int> rows) {
    // From the last row to the first, so that the earlier rows keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : rows) {
        if (row >= 0 && row < syncList.size()) syncList.removeAt(row);
    }
}

void SyncListEditor::removeAll() {
    syncList.clear();
}

QByteArray SyncListEditor::archive(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << rows;
    return payload;
}

QList<int> SyncListEditor::unarchive(const QByteArray& payload) {
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    QList<int> rows;
    in >> rows;
    return in.status() == QDataStream::Ok ? rows : QList<int>();
}
