#pragma once

// A window's message map: command ids to handlers, and optionally to an enabled-state check.
// Menus, tray menus and buttons all dispatch through it, so one id means one action everywhere.

#include <functional>
#include <map>

namespace qv {

class CommandMap {
  public:
    using Handler = std::function<void()>;
    using EnabledCheck = std::function<bool()>;

    CommandMap& On(int id, Handler handler, EnabledCheck enabled = {}) {
        entries_[id] = Entry{std::move(handler), std::move(enabled)};
        return *this;
    }
    // False when the id is not in the map (the caller passes it on) or the command is disabled.
    bool Dispatch(int id) const {
        auto it = entries_.find(id);
        if (it == entries_.end() || !IsEnabled(id)) {
            return false;
        }
        it->second.handler();
        return true;
    }
    bool Handles(int id) const { return entries_.count(id) != 0; }
    bool IsEnabled(int id) const {
        auto it = entries_.find(id);
        return it != entries_.end() && (!it->second.enabled || it->second.enabled());
    }

  private:
    struct Entry {
        Handler handler;
        EnabledCheck enabled;
    };
    std::map<int, Entry> entries_;
};

}  // namespace qv
