#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>
#include "platform/handle.h"
#include "platform/path.h"

// The HTML scan log "Brindlog.html" in the current directory. Every writer
// composes its text and writes it at once; each line feed reaches the file
// as a carriage return and a line feed, on every platform. A failed write is
// kept in the stream's error state and reported by CloseLog.

enum {
    // A file line text (volume label, blank, directory, name), terminator
    // included: a 34-character label, a 258-character directory and a
    // 259-character name fit with room to spare. WriteFileLine writes any
    // text of up to FILE_LINE_TEXT_SIZE - 1 characters whole (of a longer
    // one, that many).
    FILE_LINE_TEXT_SIZE = 600,
    // The longest support-site line the catalogue holds (its 516-character
    // buffer); WriteLogDateBlock writes any line of up to this length whole.
    SUPPORT_SITE_LINE_MAX = 515,
    // The date text: 24 characters, a line feed and the terminator.
    LOG_DATE_TEXT_SIZE = 26
};

// The log of one scan as its worker holds it: the open stream and the
// number of file lines written since the header, which numbers the lines
// on across every drive of the scan.
struct ScanLog {
    FILE *file;
    int32_t listedCount;
};

// Forms the log path (current directory, "\\", string 20) in `path`.
// False, with no message, when the directory cannot be had or the whole path
// does not fit.
bool BuildLogPath(char path[PATH_SIZE]);

// Opens the log at `path` for appending and reading, creating it (binary
// "ab+": the writers put in the carriage returns themselves).
// 0 on failure, with no message.
FILE *OpenLogForScan(const char *path);

// The size of the file behind the open log; on failure string 31 (warning)
// and 0.
uint32_t GetLogSize(FILE *log);

// The full header when size is 0, the short one otherwise.
void WriteLogHeader(FILE *log, uint32_t size);

// The date, the support site (the catalogue's first line, line end included)
// and the list heading. The date is taken once, in local time.
void WriteLogDateBlock(FILE *log, const char *supportSiteLine);

// The date as the log shows it, "Wed Jan 02 02:03:55 1980\n": English
// weekday and month, day of the month with a leading zero, local time; the
// same text on every platform.
void FormatLogDate(time_t when, char text[LOG_DATE_TEXT_SIZE]);

void WriteDriveLine(FILE *log, const char *driveLabel);

// File line `number` (1 for the first since the header); the text comes
// from the scanned drive and is written HTML-escaped. `held` false adds the
// could-not-validate note.
void WriteFileLine(FILE *log, int32_t number, const char *lineText, bool held);

// The status block (when statusText is not empty) and the closing tags.
// `noUpdatesNeeded` adds ": No Updates Needed" to a status block: the scan
// was not stopped and listed no file.
void WriteLogFooter(FILE *log, const char *statusText, bool noUpdatesNeeded);

// Closes the log; true only when every write and the close succeeded.
bool CloseLog(FILE *log);

// The Clear Log command: rewrites the log as one empty document.
// Reports string 18 or 30 itself (30 also when the document could not be
// written completely).
void ClearLog();

// The Open Log command: hands the log to the shell. Reports 18 or 30 itself.
void OpenLog(PlatformHandle ownerWindow);
