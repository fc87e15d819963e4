// The engine's progress callback, handing every report to the sync invoker that runs the sync.
#pragma once

#include "media/SyncStatusCallback.h"

class SyncInvoker;

class SyncStatusCallbackImpl : public SyncStatusCallback {
public:
    explicit SyncStatusCallbackImpl(SyncInvoker& invoker) : invoker(invoker) {}
    // On the sync thread.
    void onSyncStatus(int percent, std::string message) override;

private:
    SyncInvoker& invoker;
};
