// One test: its start, the worker that writes the report, the watchdog that
// ends a worker which stopped making progress, and the end of the test.
//
// Threads. The dialog thread runs StartTest, WatchdogTick, FinishTest,
// OnFinishRequest and EndWorkerForDestroy. The worker runs WorkerMain (the
// report driver and everything it calls) and writes nothing but the report
// text and the progress counter. The worker does not end the test itself: it
// hands the end to the dialog thread with kFinishRequestMessage, so that
// every window operation, the timer and the worker handle belong to the
// dialog thread alone, and a tick can never interleave with FinishTest.
//
// Ownership. The dialog window owns the DialogState; the worker borrows it
// from its start until its finish request has been answered (or until it is
// terminated and gone). After that it never touches the record again.
#pragma once

#include "app/win32.h"

struct DialogState;

// Sent (not posted) by the worker to the dialog when its report is complete.
// wParam: the worker's thread id, so that a request from a worker that is no
// longer the running one is ignored.
inline constexpr UINT kFinishRequestMessage = WM_APP + 1;

inline constexpr UINT_PTR kWatchdogTimerId = 1;
inline constexpr UINT kWatchdogPeriodMs = 1000;

// "Do Test": disables the button, starts the watchdog, shows the wait
// cursor, resets the report, copies the check boxes and starts the worker.
void StartTest(DialogState& state);

// The worker's start routine; the parameter is the DialogState. Returns 0.
DWORD WINAPI WorkerMain(LPVOID parameter);

// Every WM_TIMER. Does nothing while no test runs (a tick queued before the
// timer was stopped can still arrive after the end of a test).
void WatchdogTick(DialogState& state);

// kFinishRequestMessage from the worker.
void OnFinishRequest(DialogState& state, DWORD workerId);

// Loads the wait cursor once, at dialog initialisation. A driver that is
// terminated inside the system's loader leaves the loader's lock held, and
// loading a cursor from the system's resources needs that lock: with the
// cursor at hand, later tests still start, and end in "<hung>".
void PrepareTestSession();

// True once a worker had to be terminated in this process. Whatever it held
// (the system's loader lock among it) stays held, so the process must end
// without the normal shutdown, which would wait for those locks.
bool WorkerWasTerminated();

// Window destruction: terminates a running worker and waits (bounded) until
// it is gone. Returns true when the record may be freed; false when the
// worker could not be confirmed gone, in which case the record must be left
// allocated because the worker might still write to it.
bool EndWorkerForDestroy(DialogState& state);
