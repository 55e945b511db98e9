#pragma once
#include <atomic>
#include <cstdint>
#include "app/report.h"
#include "platform/handle.h"
#include "ui/drivetable.h"

// The process-wide state shared by the interface thread and the scan worker.
// There are no locks: the interface thread sets StopRequested and waits for
// the worker, which polls it; the rest is written before the worker starts
// or by one thread only. Plain data, set up without a constructor: the
// start-up reads it before the C runtime has run. The handles that only the
// Win32 code uses are kept there, typed (app/mainwindow.h, ui/worker.h).
struct ScanShared {
    PlatformHandle instance;     // the program's module: its string table
    PlatformHandle mainWindow;   // disabled while a message box is up
    char windowTitle[TITLE_TEXT_SIZE];  // string 10
    DriveTable drives;
    std::atomic<uint32_t> StopRequested;  // 1 asks the worker to stop
};

extern ScanShared g_shared;
