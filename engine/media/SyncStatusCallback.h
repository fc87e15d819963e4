// What a sync reports as it goes. Implemented by the caller of Synchronizer::sync, which never
// owns or deletes it.
#pragma once

#include <string>

class SyncStatusCallback {
public:
    // Called on the thread that runs the sync; percent is 0 to 100, message the text to show.
    virtual void onSyncStatus(int percent, std::string message) = 0;

protected:
    ~SyncStatusCallback() = default;
};
