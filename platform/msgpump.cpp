#include "platform/msgpump.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<MessagePumpFn> g_pump{nullptr};
// Set while this thread handles events that PumpMessage runs.
thread_local bool t_bPumping = false;
}  // namespace

MessagePumpFn SetMessagePump(MessagePumpFn fn) {
    return g_pump.exchange(fn);
}

int PumpMessage() {
    MessagePumpFn fn = g_pump.load();
    if (!fn || t_bPumping)
        return 0;
    t_bPumping = true;
    const int n = fn();
    t_bPumping = false;
    return n;
}

}  // namespace platform
