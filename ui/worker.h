#pragma once
#include <windows.h>

// The most recent worker's thread, 0 before the first Start. Written by the
// interface thread only (StartWorker).
extern HANDLE g_latestWorker;

// Thread procedure of one scan; the parameter is the main dialog's handle.
DWORD WINAPI ScanWorker(LPVOID dialogWindow);

// What became of a Start.
enum StartResult {
    START_RUNNING,  // a worker was started and is now the latest one
    START_FAILED,   // the thread could not be created; no message shown
    START_REFUSED   // StopWorkerAndWait is waiting: nothing started or changed
};

// Starts a scan worker on `dialog` and makes it the latest worker. A
// previous worker still in its last steps is kept and still waited for by
// StopWorkerAndWait; the handles of workers that have ended are closed here.
// While StopWorkerAndWait waits (a Start command sent to the waiting
// thread), nothing is started and the workers it waits for stay as they are.
StartResult StartWorker(HWND dialog);

// Asks a running worker to stop, waits for it without a time limit and then
// clears the request. While it waits, the interface thread dispatches no
// posted message but answers the messages the worker sends it (control
// texts, checkbox reads, enabling the main window around a box), so the
// worker always runs to its end. Returns at once when no worker runs.
// Also waits for any earlier worker that has not ended yet.
void StopWorkerAndWait();
