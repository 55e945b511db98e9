#pragma once
#include <cstdint>
#include <cstdio>
#include "platform/handle.h"

// The HTML scan log "Brindlog.html" in the current directory. Every writer
// composes its text and writes it at once; each line feed reaches the file
// as a carriage return and a line feed, on every platform. A failed write is
// kept in the stream's error state and reported by CloseLog.

// Forms the log path (current directory, "\\", string 20) in `path`.
// False, with no message, when the directory cannot be had or the whole path
// does not fit.
bool BuildLogPath(char path[260]);

// Opens the log at `path` for appending and reading, creating it ("a+").
// 0 on failure, with no message.
FILE *OpenLogForScan(const char *path);

// The size of the file behind the open log; on failure string 31 (warning)
// and 0.
uint32_t GetLogSize(FILE *log);

// Sets ListedCount to 0 and writes the full header when size is 0, the short
// one otherwise.
void WriteLogHeader(FILE *log, uint32_t size);

// The date, the support site (the catalogue's first line, line end included)
// and the list heading.
void WriteLogDateBlock(FILE *log, const char *supportSiteLine);

void WriteDriveLine(FILE *log, const char *driveLabel);

// One numbered file line; the text comes from the scanned drive and is
// written HTML-escaped. `held` false adds the could-not-validate note.
void WriteFileLine(FILE *log, const char *lineText, bool held);

// The status block (when statusText is not empty) and the closing tags.
void WriteLogFooter(FILE *log, const char *statusText);

// Closes the log; true only when every write and the close succeeded.
bool CloseLog(FILE *log);

// The Clear Log command: rewrites the log as one empty document.
// Reports string 18 or 30 itself.
void ClearLog();

// The Open Log command: hands the log to the shell. Reports 18 or 30 itself.
void OpenLog(PlatformHandle ownerWindow);
