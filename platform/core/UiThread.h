// Running work on the user-interface thread on behalf of another thread.
#pragma once

#include <functional>

// True on the thread that owns the application object.
bool IsUiThread();

// Runs fn on the user-interface thread and returns when it has run. Called on that thread,
// runs fn at once. Returns false, without running fn, once the user interface has been shut
// down; a call waiting at that moment is released unrun, so a worker never waits forever.
bool RunOnUiThread(const std::function<void()>& fn);

// Ends the user interface's service to other threads: releases every waiting call unrun, runs
// the shut-down hook (which closes the message boxes still open), and makes later calls return
// false at once. Called on the user-interface thread when the main window has gone.
void ShutdownUiThreadCalls();

// What the windowing side does at shut-down; one hook, set at start-up.
void SetUiShutdownHook(std::function<void()> hook);

// True once ShutdownUiThreadCalls has run.
bool IsUiShutDown();

// Tests run several windows' lives in one process.
void ResetUiThreadCallsForTesting();
// How many calls from other threads wait for the user-interface thread.
int WaitingUiThreadCallsForTesting();
