#pragma once

// A key that reaches the program while another program has the focus: the global push-to-talk
// key. One backend per mechanism (an X11 passive grab, the desktop portal's global shortcuts,
// none); the windows layer picks one in one place. The status text says which mechanism serves
// and, when the key cannot be had, why: the options page shows it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qv {

// A key with its modifiers, as the backends grab it.
struct HotKeyCombination {
    // The X11 key symbol; never 0 (a key without one cannot be registered).
    std::uint32_t keysym = 0;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    // How the options page names it.
    std::string name;
};

class GlobalHotKey {
  public:
    struct Events {
        // Every press, the key's auto-repeat included.
        std::function<void()> pressed;
        // The key was let go; a mechanism that cannot tell never calls it.
        std::function<void()> released;
    };

    virtual ~GlobalHotKey() = default;

    void SetEvents(Events events) { events_ = std::move(events); }

    // False when it cannot be registered (StatusText says why).
    virtual bool Register(const HotKeyCombination& combination) = 0;
    virtual void Unregister() = 0;
    virtual bool Registered() const = 0;
    // The mechanism's name, for the options page.
    virtual std::string Mechanism() const = 0;
    virtual std::string StatusText() const = 0;
    // The desktop binds the key itself (the options page shows its binding instead of offering
    // the remap dialog), and reports press and release: no repeat timing applies.
    virtual bool DesktopBindsKey() const { return false; }

  protected:
    void Pressed() const {
        if (events_.pressed) {
            events_.pressed();
        }
    }
    void Released() const {
        if (events_.released) {
            events_.released();
        }
    }

  private:
    Events events_;
};

// X11's name of a key symbol ("backslash"), empty for 0 or an unknown one.
std::string KeySymName(std::uint32_t keysym);

// No mechanism: nothing is registered; reason says why (shown after the mechanism's name).
std::unique_ptr<GlobalHotKey> MakeNoGlobalHotKey(std::string reason);

// An X11 passive key grab on the root window of its own display connection. Null when the display
// cannot be opened. The owner watches Fd() and calls Pump() when it is readable.
class X11GlobalHotKey : public GlobalHotKey {
  public:
    virtual int Fd() const = 0;
    virtual void Pump() = 0;
};
std::unique_ptr<X11GlobalHotKey> MakeX11GlobalHotKey(const std::string& display);

}  // namespace qv
