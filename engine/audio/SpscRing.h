#pragma once

// A bounded single-producer single-consumer ring of fixed slots, for handing data between the
// audio thread and the others without locks or allocation. A full ring refuses: late audio is
// worth less than never blocking the thread that makes it.

#include <array>
#include <atomic>
#include <cstddef>

namespace qv::audio {

template <typename T, std::size_t N>
class SpscRing {
    static_assert(N >= 2 && (N & (N - 1)) == 0, "capacity must be a power of two");

  public:
    // Producer: fill(slot) writes the slot in place; false when full (nothing is called).
    template <typename Fill>
    bool TryPush(Fill&& fill) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) == N) {
            return false;
        }
        fill(slots_[head & (N - 1)]);
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer: use(slot) reads the oldest slot; false when empty.
    template <typename Use>
    bool TryPop(Use&& use) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (head_.load(std::memory_order_acquire) == tail) {
            return false;
        }
        use(slots_[tail & (N - 1)]);
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    std::size_t Size() const {
        return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire);
    }

  private:
    std::array<T, N> slots_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace qv::audio
