// Ending the program from outside (a logout, kill, Ctrl+C in a terminal): the signal is
// taken in the event loop, where the program closes as its own exit item does.
#pragma once

#include <functional>

// Holds SIGTERM, SIGINT and SIGHUP back from every thread, so that no library's handler
// (the database client has its own) runs on them and no thread is interrupted. Call first
// in main, before any thread exists.
void HoldEndSignals();
// Reads the held signals in the event loop and runs close on the first. Should close not
// end the program within a few seconds, the process ends regardless.
void CloseOnEndSignals(std::function<void()> close);
