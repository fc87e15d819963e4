#include "main/SyncStatusCallbackImpl.h"

#include "main/SyncInvoker.h"

void SyncStatusCallbackImpl::onSyncStatus(int percent, std::string message) {
    invoker.syncStatusUpdate(QString::fromStdString(message), percent);
}
