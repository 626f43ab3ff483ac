#pragma once
// Debug trace of the device link. The server writes every protocol step to its debug
// log; the core only formats the lines and hands them to whatever sink the host set.
#include <functional>
#include <string>

#include "platform/format.h"
#include "platform/wintypes.h"

using LogSink = std::function<void(const CString&)>;

namespace acq {

using platform::Format;

}  // namespace acq
