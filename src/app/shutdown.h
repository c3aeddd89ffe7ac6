#pragma once
// Orderly shutdown and the console control handler.

#include <chrono>

// The pauses of Shutdown and of the control handler.
struct ShutdownTiming {
  // After StopAllEvent is set, before the work thread is stopped.
  std::chrono::milliseconds settle{1000};
  // The work thread's grace period.
  std::chrono::milliseconds workThreadGrace{1000};
  // The control handler's pause after Shutdown.
  std::chrono::milliseconds handlerPause{1000};
};

// Registers ConsoleCtrlHandler for the control events. The entry's first
// call, before any other thread starts.
void InstallConsoleCtrlHandler();

// Stops the server side and releases the process-wide resources, in order:
// sets StopAllEvent, flushes standard output, waits, stops and deletes the
// work thread, closes StopAllEvent, finishes the tracks (-g:), closes
// console input. Safe to run any number of times, from several threads at
// once, and before the work thread exists.
void Shutdown();
void Shutdown(const ShutdownTiming& timing);

// Logs the event, runs Shutdown and waits. The console window closed (2) and
// system shutdown (6) then end the process with exit code 0; for every other
// event it returns true and the process goes on.
bool ConsoleCtrlHandler(int event);
bool ConsoleCtrlHandler(int event, const ShutdownTiming& timing);
