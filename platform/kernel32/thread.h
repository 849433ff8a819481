// Threads as the platform knows them (internal).
#pragma once

#include "platform/core/wait.h"

namespace plat
{
// Runs `atExit` when the calling thread ends (any thread, however it ends). Used to drop the
// thread's message queue.
// Hooks run with WaitMutex not held; registering twice is harmless.
void AtThreadExit(void (*atExit)(DWORD tid));
// Makes sure the exit hooks run for the calling thread even if the platform did not create it.
void WatchThreadEnd();
} // namespace plat
