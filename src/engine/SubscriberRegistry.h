#pragma once

// The subscribers of one engine event: an ordered map from callback to context. Subscribe puts
// the callback in (when absent) and sets its context, so one callback serves one context per
// event; Unsubscribe removes it only when the context matches. Delivery walks the map in key
// order. A callback may subscribe or unsubscribe anything while it is being called: delivery
// carries on with the next callback still registered after it.

#include <cstddef>
#include <map>

namespace qv {

template <typename... Args>
class SubscriberRegistry {
  public:
    using Callback = void (*)(Args..., void* context);

    void Subscribe(Callback callback, void* context) {
        if (callback != nullptr) {
            map_[callback] = context;
        }
    }

    void Unsubscribe(Callback callback, void* context) {
        auto it = map_.find(callback);
        if (it != map_.end() && it->second == context) {
            map_.erase(it);
        }
    }

    void Deliver(Args... args) const {
        auto it = map_.begin();
        while (it != map_.end()) {
            const Callback callback = it->first;
            callback(args..., it->second);
            it = map_.upper_bound(callback);
        }
    }

    std::size_t Size() const { return map_.size(); }
    bool Contains(Callback callback) const { return map_.count(callback) != 0; }
    // The context stored for callback, or null.
    void* ContextOf(Callback callback) const {
        auto it = map_.find(callback);
        return it != map_.end() ? it->second : nullptr;
    }

  private:
    std::map<Callback, void*> map_;
};

}  // namespace qv
