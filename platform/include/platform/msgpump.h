#pragma once
// Long work on the user-interface thread lets the pending window events run between its
// steps. The core code has no event loop of its own: a program that has one installs the
// pump (a Qt program: InstallQtMessagePump of "platform/qtmsgpump.h"), others leave it empty.
//
// An event that the pump runs may start long work of its own (a search, a copy) that pumps
// again. That nested pumping is refused: while an event run by PumpMessage is being handled
// on a thread, PumpMessage on that thread returns 0 at once, so events never nest more than
// one level deep and the outer work resumes as soon as the event returns.

namespace platform {

using MessagePumpFn = int (*)();  // handles pending events, returns how many (or 0)

MessagePumpFn SetMessagePump(MessagePumpFn fn);  // returns the previous pump
// Runs the pump once; 0 when none is set or when called from inside a pumped event.
int PumpMessage();

}  // namespace platform
