#pragma once

#include <stop_token>

class CSettingsStore;
class ICleaner;
class ICleaningProgress;

// One cleaning pass, on the worker's own thread: for cookies, the cache, history,
// favourites and recent documents, in this order, each whose option is on at the moment its
// turn comes (read from the store then, not before), tells `progress` the step begins, runs
// the routine and tells it the step is done; then tells it the pass is over. Once `stop` is
// requested, no step begins and nothing more is told. Answers 1, the thread's exit code.
int CleaningThreadProc(ICleaner& cleaner, const CSettingsStore& store, ICleaningProgress& progress,
                       std::stop_token stop);
