#pragma once

// A window of another X client that holds the keyboard focus, for tests of the global key. Kept
// apart because Xlib's macros (KeyPress, Bool, ...) clash with Qt and the test framework.

#include <cstdint>
#include <memory>
#include <string>

namespace qv::test {

class XFocusWindow {
  public:
    // Null when the display cannot be opened.
    static std::unique_ptr<XFocusWindow> Open(const std::string& display);
    virtual ~XFocusWindow() = default;
    // How many key events (presses and releases) of that key this window received so far.
    virtual int KeyEventsOf(const char* keysymName) = 0;
};

bool CanOpenDisplay(const std::string& display);
std::uint32_t KeySymNamed(const char* name);

}  // namespace qv::test
