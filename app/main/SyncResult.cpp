#include "main/SyncResult.h"

namespace {
QString tracks(int count) {
    return count == 1 ? QStringLiteral("1 track") : QStringLiteral("%1 tracks").arg(count);
}
}  // namespace

QString SyncResult::summaryLine() const {
    return QStringLiteral(
               "%1 sent, %2 deleted from the device, %3 already there, %4 skipped (unreadable), "
               "%5 declined by the device.")
        .arg(tracks(summary.sent))
        .arg(summary.deleted)
        .arg(summary.present)
        .arg(summary.skipped)
        .arg(summary.declined);
}
