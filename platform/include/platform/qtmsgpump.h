#pragma once
// The message pump of a Qt program: one round of the pending Qt events of the calling
// thread, as the program's start-up installs it (one line after the application object is
// made). Only the thread of the application object pumps; other threads, and a program
// whose application object is gone, get 0.

namespace platform {

// Runs the calling thread's pending events once, without waiting; 1 when any ran.
int PumpQtEvents();

// Makes PumpQtEvents the pump of the process (platform::PumpMessage).
void InstallQtMessagePump();

}  // namespace platform
