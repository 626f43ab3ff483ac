#pragma once
// Long work on the user-interface thread lets one pending window event run between its
// steps. The core code has no event loop of its own: the program that has one installs
// the pump (a Qt program: QCoreApplication::processEvents), others leave it empty.

namespace platform {

using MessagePumpFn = int (*)();  // handles pending events, returns how many (or 0)

MessagePumpFn SetMessagePump(MessagePumpFn fn);  // returns the previous pump
int PumpMessage();                               // runs the pump once; 0 when none is set

}  // namespace platform
