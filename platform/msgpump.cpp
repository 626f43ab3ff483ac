#include "platform/msgpump.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<MessagePumpFn> g_pump{nullptr};
}

MessagePumpFn SetMessagePump(MessagePumpFn fn) { return g_pump.exchange(fn); }

int PumpMessage() {
    MessagePumpFn fn = g_pump.load();
    return fn ? fn() : 0;
}

}  // namespace platform
