#pragma once
#include "log/log.h"
#include "scan/catalogue.h"

// How the walk of one drive ended.
enum DriveOutcome {
    DRIVE_WALKED,    // walked to its end (or there was nothing to walk)
    DRIVE_FAILED,    // a directory could not be listed; string 29 shown
    DRIVE_STOPPED,   // a stop was requested; nothing shown
    DRIVE_EXCEPTION  // an exception broke the walk: the guard has set
                     // StopRequested, written the footer (string 33) and
                     // closed log->file, then shown 33; nothing more may be
                     // written to the log, nor may it be closed again
};

// Walks one drive, depth-first, from its root pattern (drive label and
// "\\*"), writing a numbered line to `log` for every file named in the
// catalogue (log->listedCount counts them on). After every directory it has
// listed, the calling thread's pending messages are handled
// (HandlePendingMessages).
DriveOutcome ScanDrive(const char *pattern, ScanLog *log, const Catalogue *catalogue);
