#pragma once
#include <cstdio>
#include "scan/catalogue.h"

// Walks one drive, depth-first, from its root pattern (drive label and
// "\\*"), writing a line to the log for every file named in the catalogue.
// True when the whole drive was walked; false when a directory could not be
// listed (string 29 shown), when a stop was requested, or when an exception
// was caught. In that last case the guard has written the footer (string
// 33), closed the log and set *log to 0, set StopRequested and shown 33.
// After every directory it has listed, the calling thread's pending
// messages are handled (HandlePendingMessages).
bool ScanDrive(const char *pattern, FILE **log, const Catalogue *catalogue);
