#include "XFocusWindow.h"

#include <X11/Xlib.h>

#include <map>

namespace qv::test {

namespace {

class Impl final : public XFocusWindow {
  public:
    explicit Impl(Display* d) : d_(d) {
        w_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 10, 10, 200, 100, 0, 0, 0xffffff);
        XSelectInput(d_, w_, KeyPressMask | KeyReleaseMask);
        XMapWindow(d_, w_);
        XSync(d_, False);
        XSetInputFocus(d_, w_, RevertToParent, CurrentTime);
        XSync(d_, False);
    }
    ~Impl() override { XCloseDisplay(d_); }
    int KeyEventsOf(const char* name) override {
        XSync(d_, False);
        while (XPending(d_) > 0) {
            XEvent e;
            XNextEvent(d_, &e);
            if (e.type == KeyPress || e.type == KeyRelease) {
                ++seen_[XLookupKeysym(&e.xkey, 0)];
            }
        }
        return seen_[XStringToKeysym(name)];
    }

  private:
    Display* d_;
    Window w_ = 0;
    std::map<KeySym, int> seen_;
};

}  // namespace

std::unique_ptr<XFocusWindow> XFocusWindow::Open(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) {
        return nullptr;
    }
    return std::make_unique<Impl>(d);
}

bool CanOpenDisplay(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) {
        return false;
    }
    XCloseDisplay(d);
    return true;
}

std::uint32_t KeySymNamed(const char* name) {
    return static_cast<std::uint32_t>(XStringToKeysym(name));
}

}  // namespace qv::test
