// Takes SIGINT and SIGTERM on a thread of its own and calls a stop function for the first one.
// The thread is joined when the stopper goes, so it never outlives what the stop function
// touches: destroy the stopper before the server it stops.
#pragma once

#include <functional>
#include <thread>

#include "UniqueFd.h"

class SignalStopper {
  public:
    // Call block() first, before any other thread starts. Throws std::runtime_error when the
    // signal descriptor or the wake pipe cannot be made.
    explicit SignalStopper(std::function<void()> stop);
    // Wakes the thread (if no signal came) and joins it.
    ~SignalStopper();
    SignalStopper(const SignalStopper&) = delete;
    SignalStopper& operator=(const SignalStopper&) = delete;

    // Blocks SIGINT and SIGTERM in the calling thread and the threads it starts later, so that
    // they reach the stopper only.
    static void block();

  private:
    UniqueFd signals;
    UniqueFd wakeRead;
    UniqueFd wakeWrite;
    std::thread thread;
};
