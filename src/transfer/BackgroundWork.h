#pragma once
// Work that outlives the call that started it (a device-to-device job, an
// upload of pasted or dropped files). Every such thread is owned here: a
// finished one is joined when the next one starts, and all of them when
// waitForBackgroundWork is called. On Windows each keeps the module loaded
// until it has left the module's code.
#include <cstddef>
#include <functional>

void runInBackground(std::function<void()> work);

// Blocks until every piece of background work has ended.
void waitForBackgroundWork();

// How many pieces of background work have not yet ended.
std::size_t backgroundWorkRunning();
