#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/GlobalHotKey.h"

namespace qv {

namespace {

class NoGlobalHotKey final : public GlobalHotKey {
  public:
    explicit NoGlobalHotKey(std::string reason) : reason_(std::move(reason)) {}
    bool Register(const HotKeyCombination&) override { return false; }
    void Unregister() override {}
    bool Registered() const override { return false; }
    std::string Mechanism() const override { return "None"; }
    std::string StatusText() const override {
        return "Global Push To Talk is not available: " + reason_ +
               " The program's own keys still work while one of its windows has the focus.";
    }

  private:
    std::string reason_;
};

// Xlib reports a refused grab through its process-wide error handler; the flag lives only for
// the XSync that collects the answer.
thread_local bool t_grabRefused = false;

int RecordGrabError(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) {
        t_grabRefused = true;
    }
    return 0;
}

class X11Grab final : public X11GlobalHotKey {
  public:
    explicit X11Grab(Display* display) : display_(display), root_(DefaultRootWindow(display)) {
        // Held keys then repeat as presses only, without a release before each.
        Bool supported = False;
        XkbSetDetectableAutoRepeat(display_, True, &supported);
        XSelectInput(display_, root_, 0);
        status_ = "Global Push To Talk is off.";
    }
    ~X11Grab() override {
        Unregister();
        XCloseDisplay(display_);
    }

    bool Register(const HotKeyCombination& combination) override {
        Unregister();
        const std::string& name = combination.name;
        const KeyCode code =
            combination.keysym != 0 ? XKeysymToKeycode(display_, combination.keysym) : 0;
        if (code == 0) {
            status_ = "X11 key grab: the keyboard has no key for " + name + ".";
            return false;
        }
        unsigned mods = 0;
        if (combination.shift) {
            mods |= ShiftMask;
        }
        if (combination.ctrl) {
            mods |= ControlMask;
        }
        if (combination.alt) {
            mods |= Mod1Mask;
        }
        t_grabRefused = false;
        XErrorHandler previous = XSetErrorHandler(RecordGrabError);
        // Caps Lock and Num Lock must not stop the key from working.
        for (unsigned extra :
             {0u, unsigned{LockMask}, unsigned{Mod2Mask}, unsigned{LockMask | Mod2Mask}}) {
            XGrabKey(display_, code, mods | extra, root_, False, GrabModeAsync, GrabModeAsync);
        }
        XSync(display_, False);
        XSetErrorHandler(previous);
        code_ = code;
        mods_ = mods;
        if (t_grabRefused) {
            Unregister();
            status_ = "X11 key grab: another program holds " + name + "; choose another key.";
            return false;
        }
        registered_ = true;
        status_ = "X11 key grab: " + name + " works while other programs have the focus.";
        return true;
    }

    void Unregister() override {
        if (code_ == 0) {
            return;
        }
        for (unsigned extra :
             {0u, unsigned{LockMask}, unsigned{Mod2Mask}, unsigned{LockMask | Mod2Mask}}) {
            XUngrabKey(display_, code_, mods_ | extra, root_);
        }
        XSync(display_, False);
        code_ = 0;
        if (registered_) {
            status_ = "Global Push To Talk is off.";
        }
        registered_ = false;
    }

    bool Registered() const override { return registered_; }
    std::string Mechanism() const override { return "X11 key grab"; }
    std::string StatusText() const override { return status_; }
    int Fd() const override { return ConnectionNumber(display_); }

    void Pump() override {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (!registered_ || event.xkey.keycode != code_) {
                continue;
            }
            if (event.type == KeyPress) {
                Pressed();
            } else if (event.type == KeyRelease) {
                Released();
            }
        }
    }

  private:
    Display* display_;
    Window root_;
    KeyCode code_ = 0;
    unsigned mods_ = 0;
    bool registered_ = false;
    std::string status_;
};

}  // namespace

std::string KeySymName(std::uint32_t keysym) {
    const char* name = keysym != 0 ? XKeysymToString(keysym) : nullptr;
    return name != nullptr ? name : "";
}

std::unique_ptr<GlobalHotKey> MakeNoGlobalHotKey(std::string reason) {
    return std::make_unique<NoGlobalHotKey>(std::move(reason));
}

std::unique_ptr<X11GlobalHotKey> MakeX11GlobalHotKey(const std::string& display) {
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (d == nullptr) {
        return nullptr;
    }
    return std::make_unique<X11Grab>(d);
}

}  // namespace qv
