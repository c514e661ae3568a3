#pragma once

// Trace points of major operations. Every line begins with the current thread id ("%08x, ").
// Lines are discarded unless the environment variable QUORVANE_TRACE names a file, which then
// receives them, one per line, appended.

#include <string_view>

namespace qv {

// Writes "%08x, " + className + "::" + method + (detail empty ? "" : " " + detail).
void Trace(std::string_view className, std::string_view method, std::string_view detail = {});

// The 32-bit id of the calling thread, as trace lines show it.
unsigned CurrentThreadId();

}  // namespace qv
