#pragma once
#include <atomic>
#include <cstdint>
#include "platform/handle.h"
#include "ui/drivetable.h"

// The process-wide state shared by the interface thread and the scan worker.
// There are no locks: the interface thread sets StopRequested and waits for
// the worker, which polls it; the rest is written before the worker starts
// or by one thread only.
struct ScanShared {
    PlatformHandle instance;
    PlatformHandle mainWindow;
    PlatformHandle mainDialog;
    char windowTitle[100];       // string 10
    PlatformHandle menu;         // the main window's menu
    PlatformHandle workerThread; // the most recent worker, 0 before the first Start
    DriveTable drives;
    std::atomic<uint32_t> StopRequested;  // 1 asks the worker to stop
    int32_t ListedCount;                  // file lines written since the last log header
};

extern ScanShared g_shared;
