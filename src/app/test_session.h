// One test: its start, the worker that writes the report, the watchdog that
// ends a worker which stopped making progress, and the end of the test.
//
// Threads. The dialog thread runs StartTest, WatchdogTick, FinishTest,
// OnFinishRequest, BeginClosing and EndWorkerForDestroy. The worker runs
// WorkerMain (the report driver and everything it calls) and writes nothing
// but the report text and the progress counter. The worker does not end the
// test itself: it hands the end to the dialog thread with
// kFinishRequestMessage, so that every window operation, the timer and the
// worker handle belong to the dialog thread alone, and a tick can never
// interleave with FinishTest.
//
// Ownership. The dialog window owns the DialogState; the worker borrows it
// from its start until its finish request has been answered (or until it is
// terminated and gone). After that it never touches the record again. A
// hung worker keeps its record for good, since the system may not end it
// when it is terminated (a thread stuck in a driver's kernel call ends only
// when that call returns): the test ends in a fresh record, and the old one
// is never freed.
#pragma once

#include "app/win32.h"

struct DialogState;

// Sent (not posted) by the worker to the dialog when its report is complete.
// wParam: the worker's thread id, so that a request from a worker that is no
// longer the running one is ignored.
inline constexpr UINT kFinishRequestMessage = WM_APP + 1;

inline constexpr UINT_PTR kWatchdogTimerId = 1;

// "Do Test": disables the button, starts the watchdog, shows the wait
// cursor, resets the report, copies the check boxes and starts the worker.
void StartTest(DialogState& state);

// The worker's start routine; the parameter is the DialogState. Returns 0.
DWORD WINAPI WorkerMain(LPVOID parameter);

// Every WM_TIMER. Does nothing while no test runs (a tick queued before the
// timer was stopped can still arrive after the end of a test). Returns the
// record the dialog owns from now on: after a hung test a fresh record, and
// `state` is then left to the hung worker for the rest of the process and
// must never be written or freed; otherwise `state` itself.
DialogState* WatchdogTick(DialogState& state);

// kFinishRequestMessage from the worker.
void OnFinishRequest(DialogState& state, DWORD workerId);

// The cancel command: the dialog is closing. A test that still runs is
// ended by the window's destruction, which publishes nothing; until then
// neither a watchdog tick nor the worker's finish request ends it. The
// dialog thread can still handle sent messages while the window system
// hides the window and hands the activation on, so the finish request may
// arrive after the cancel command.
void BeginClosing();

// Loads the wait cursor once, at dialog initialisation. A driver that is
// terminated inside the system's loader leaves the loader's lock held, and
// loading a cursor from the system's resources needs that lock: with the
// cursor at hand, later tests still start, and end in "<hung>".
void PrepareTestSession();

// True once a worker had to be terminated in this process. Whatever it held
// (the system's loader lock among it) stays held, so the process must end
// without the normal shutdown, which would wait for those locks.
bool WorkerWasTerminated();

// Window destruction. With a test running, terminates its worker and ends
// the process at once with exit code 0, publishing nothing: a worker
// terminated at an arbitrary moment may leave locks of the system held (the
// heap's, the loader's) that any orderly shutdown would wait for, and may
// still write to the record. Returns only when no worker runs; the record
// may then be freed.
void EndWorkerForDestroy(DialogState& state);
