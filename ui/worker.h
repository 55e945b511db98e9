#pragma once
#include <windows.h>

// Thread procedure of one scan; the parameter is the main dialog's handle.
DWORD WINAPI ScanWorker(LPVOID dialogWindow);

// Asks a running worker to stop, waits for it without a time limit and then
// clears the request. While it waits, the interface thread dispatches no
// posted message but answers the messages the worker sends it (control
// texts, checkbox reads, enabling the main window around a box), so the
// worker always runs to its end. Returns at once when no worker runs.
void StopWorkerAndWait();
