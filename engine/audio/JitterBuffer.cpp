#include "JitterBuffer.h"

#include <algorithm>

namespace qv::audio {

namespace {

constexpr std::int64_t SamplesToNs(std::int64_t samples) {
    return samples * 1'000'000'000 / kSampleRate;
}

}  // namespace

std::int64_t JitterBuffer::FrameNs() const {
    return SamplesToNs(frameSamples_);
}

bool JitterBuffer::Seen(std::uint64_t sequence) const {
    if (!haveSeen_ || sequence > highestSeen_) {
        return false;
    }
    const std::uint64_t back = highestSeen_ - sequence;
    return back < 64 && ((seenMask_ >> back) & 1u) != 0;
}

void JitterBuffer::MarkSeen(std::uint64_t sequence) {
    if (!haveSeen_) {
        haveSeen_ = true;
        highestSeen_ = sequence;
        seenMask_ = 1;
        return;
    }
    if (sequence > highestSeen_) {
        const std::uint64_t shift = sequence - highestSeen_;
        seenMask_ = shift >= 64 ? 0 : seenMask_ << shift;
        seenMask_ |= 1;
        highestSeen_ = sequence;
        return;
    }
    const std::uint64_t back = highestSeen_ - sequence;
    if (back < 64) {
        seenMask_ |= std::uint64_t{1} << back;
    }
}

JitterBuffer::Slot* JitterBuffer::Find(std::uint64_t sequence) {
    Slot& slot = slots_[sequence % kSlots];
    return slot.used && slot.sequence == sequence ? &slot : nullptr;
}

JitterBuffer::Slot* JitterBuffer::Lowest() {
    Slot* lowest = nullptr;
    for (Slot& slot : slots_) {
        if (slot.used && (lowest == nullptr || slot.sequence < lowest->sequence)) {
            lowest = &slot;
        }
    }
    return lowest;
}

void JitterBuffer::DropBelow(std::uint64_t sequence) {
    for (Slot& slot : slots_) {
        if (slot.used && slot.sequence < sequence) {
            slot.used = false;
            ++stats_.overflow;
        }
    }
}

// A talkspurt begins where the sender says so, or where its clock jumped over a silence (the
// marker packet may be the one that was lost).
bool JitterBuffer::StartsTalkspurt(const JitterPacket& packet) const {
    if (packet.marker) {
        return true;
    }
    if (!haveDecoded_ || packet.sequence <= lastDecodedSequence_) {
        return false;
    }
    const std::uint64_t steps = packet.sequence - lastDecodedSequence_;
    const std::uint32_t expected =
        lastDecodedTimestamp_ +
        static_cast<std::uint32_t>(steps * static_cast<std::uint64_t>(frameSamples_));
    return static_cast<std::int32_t>(packet.timestamp - expected) > frameSamples_ / 2;
}

std::int64_t JitterBuffer::RecordTransit(const JitterPacket& packet) {
    if (!haveTimestamp_) {
        haveTimestamp_ = true;
        timestampExt_ = packet.timestamp;
    } else {
        timestampExt_ += static_cast<std::int32_t>(packet.timestamp - lastTimestamp_);
    }
    lastTimestamp_ = packet.timestamp;
    const std::int64_t transit = packet.arrivalNs - SamplesToNs(timestampExt_);
    transits_[transitNext_] = Transit{packet.arrivalNs, transit};
    transitNext_ = (transitNext_ + 1) % kTransits;
    transitCount_ = std::min(transitCount_ + 1, kTransits);
    // The packet's delay beyond the quickest recent one: how far it is behind its ideal time.
    std::int64_t minTransit = transit;
    for (std::size_t i = 0; i < transitCount_; ++i) {
        if (transits_[i].arrivalNs >= packet.arrivalNs - kTransitWindowNs) {
            minTransit = std::min(minTransit, transits_[i].transitNs);
        }
    }
    return transit - minTransit;
}

std::int64_t JitterBuffer::MeasuredDelayNs(std::int64_t nowNs) const {
    std::array<std::int64_t, kTransits> recent{};
    std::size_t count = 0;
    std::int64_t minTransit = 0;
    for (std::size_t i = 0; i < transitCount_; ++i) {
        if (transits_[i].arrivalNs >= nowNs - kTransitWindowNs) {
            recent[count] = transits_[i].transitNs;
            minTransit = count == 0 ? recent[count] : std::min(minTransit, recent[count]);
            ++count;
        }
    }
    const std::int64_t frame = FrameNs();
    // Too little to judge by: the starting delay.
    if (count < kMinTransits) {
        return 2 * frame;
    }
    for (std::size_t i = 0; i < count; ++i) {
        recent[i] -= minTransit;
    }
    const std::size_t rank = (count * 95 + 99) / 100 - 1;
    std::nth_element(recent.begin(), recent.begin() + static_cast<std::ptrdiff_t>(rank),
                     recent.begin() + static_cast<std::ptrdiff_t>(count));
    return std::clamp(recent[rank] + frame, frame, std::max(frame, kMaxDelayNs));
}

JitterPush JitterBuffer::Push(const JitterPacket& packet) {
    if (packet.samples <= 0 || packet.samples > kMaxFrameSamples || packet.payload == nullptr ||
        packet.size == 0 || packet.size > kMaxPayloadBytes) {
        ++stats_.malformed;
        return JitterPush::kMalformed;
    }
    if (Seen(packet.sequence)) {
        ++stats_.duplicates;
        return JitterPush::kDuplicate;
    }
    const bool starts = StartsTalkspurt(packet);
    if (haveNext_ && packet.sequence < nextSequence_) {
        // Its turn has passed, unless it begins a talkspurt that came while the last one was
        // still being concealed: then the concealment ends here.
        const bool newer = !haveDecoded_ || packet.sequence > lastDecodedSequence_;
        if (!(starts && newer && (concealRun_ > 0 || !playing_))) {
            MarkSeen(packet.sequence);
            ++stats_.late;
            return JitterPush::kLate;
        }
        playing_ = false;
        pendingLost_ = 0;
        concealRun_ = 0;
        nextSequence_ = packet.sequence;
        DropBelow(packet.sequence);
    }
    MarkSeen(packet.sequence);
    // A packet far ahead of the window: what is older can no longer be played in time.
    const std::uint64_t base = haveNext_ ? nextSequence_ : packet.sequence;
    if (packet.sequence >= base + kSlots) {
        const std::uint64_t keepFrom = packet.sequence - kSlots + 1;
        DropBelow(keepFrom);
        if (playing_ || haveNext_) {
            nextSequence_ = keepFrom;
            playing_ = false;
        }
    }
    Slot& slot = slots_[packet.sequence % kSlots];
    if (slot.used) {
        ++stats_.overflow;
    }
    slot.used = true;
    slot.sequence = packet.sequence;
    slot.timestamp = packet.timestamp;
    slot.marker = starts;
    slot.level = packet.level;
    slot.samples = packet.samples;
    slot.arrivalNs = packet.arrivalNs;
    slot.relativeDelayNs = RecordTransit(packet);
    slot.size = packet.size;
    std::copy_n(packet.payload, packet.size, slot.payload.begin());
    lastArrivalNs_ = std::max(lastArrivalNs_, packet.arrivalNs);
    ++stats_.received;
    return JitterPush::kAccepted;
}

void JitterBuffer::CountDue(bool lost) {
    windowDue_ += 1;
    if (lost) {
        windowLost_ += 1;
    }
    if (windowDue_ >= 1000) {
        windowDue_ /= 2;
        windowLost_ /= 2;
    }
}

float JitterBuffer::LossPercent() const {
    return windowDue_ > 0 ? static_cast<float>(100.0 * windowLost_ / windowDue_) : 0.0f;
}

JitterOutput JitterBuffer::Pull(std::int64_t nowNs) {
    JitterOutput out;
    bool startsNow = false;
    if (!playing_) {
        Slot* first = Lowest();
        if (first == nullptr) {
            return out;
        }
        frameSamples_ = first->samples;
        const std::int64_t delay = MeasuredDelayNs(nowNs);
        // From the time the packet would have come on a quiet network, not from when it did.
        const std::int64_t playAt =
            first->arrivalNs + std::max<std::int64_t>(0, delay - first->relativeDelayNs);
        // Pulls come once a period: start at the one nearest the due time, not the one after.
        if (nowNs + kPullPeriodNs / 2 < playAt) {
            return out;
        }
        appliedDelayNs_ = delay;
        playing_ = true;
        haveNext_ = true;
        nextSequence_ = first->sequence;
        concealRun_ = 0;
        pendingLost_ = 0;
        startsNow = true;
    }

    if (!startsNow) {
        AdaptInSilence(nowNs, out);
        if (out.kind != JitterOutputKind::kNothing) {
            return out;
        }
    }
    out.sequence = nextSequence_;
    out.talkspurtStart = startsNow;
    if (Slot* slot = Find(nextSequence_)) {
        out.kind = JitterOutputKind::kPacket;
        out.payload = slot->payload.data();
        out.size = slot->size;
        out.samples = slot->samples;
        out.level = slot->level;
        slot->used = false;  // the bytes stay readable until the next call
        frameSamples_ = slot->samples;
        haveDecoded_ = true;
        lastDecodedSequence_ = slot->sequence;
        lastDecodedTimestamp_ = slot->timestamp;
        lastLevel_ = slot->level;
        ++stats_.played;
        stats_.lost += pendingLost_;
        for (; pendingLost_ > 0; --pendingLost_) {
            CountDue(true);
        }
        CountDue(false);
        concealRun_ = 0;
        ++nextSequence_;
        return out;
    }
    Slot* next = Find(nextSequence_ + 1);
    if (next != nullptr && !next->marker) {
        out.kind = JitterOutputKind::kFec;
        out.payload = next->payload.data();
        out.size = next->size;
        out.samples = next->samples;
        out.level = next->level;
        frameSamples_ = next->samples;
        haveDecoded_ = true;
        lastDecodedSequence_ = nextSequence_;
        lastDecodedTimestamp_ = next->timestamp - static_cast<std::uint32_t>(next->samples);
        ++stats_.recovered;
        ++stats_.lost;
        stats_.lost += pendingLost_;
        for (; pendingLost_ > 0; --pendingLost_) {
            CountDue(true);
        }
        CountDue(true);
        concealRun_ = 0;
        ++nextSequence_;
        return out;
    }
    if (concealRun_ < kMaxConceal && !startsNow) {
        out.kind = JitterOutputKind::kConceal;
        out.samples = frameSamples_;
        out.level = lastLevel_;
        ++stats_.concealed;
        ++pendingLost_;
        ++concealRun_;
        ++nextSequence_;
        return out;
    }
    // Gone too long: the talkspurt ended (or the network did). What was concealed at its end
    // was silence, not loss. Whatever comes later starts afresh.
    playing_ = false;
    pendingLost_ = 0;
    concealRun_ = 0;
    if (Lowest() != nullptr) {
        out.kind = JitterOutputKind::kSilence;
        out.samples = frameSamples_;
        out.level = 127;
        return out;
    }
    return JitterOutput{};
}

// A talkspurt that never ends (an open microphone, push-to-talk held) would keep its first
// delay for good. Its quiet frames (no speech, or speech quieter than kQuietLevel) are where a
// frame can be added or left out without touching what is said: one step at a time, a fifth of a
// second apart. Shrinking goes by how long the frame has really waited beyond its quiet-network
// arrival, not by the bookkeeping of earlier steps: a backlog from a stall or a slow start is
// worked off too.
void JitterBuffer::AdaptInSilence(std::int64_t nowNs, JitterOutput& out) {
    Slot* slot = Find(nextSequence_);
    if (slot == nullptr || slot->level < kQuietLevel || nowNs - lastAdaptNs_ < kAdaptSpacingNs) {
        return;
    }
    const std::int64_t frame = SamplesToNs(slot->samples);
    const std::int64_t measured = MeasuredDelayNs(nowNs);
    const std::int64_t waited = nowNs - (slot->arrivalNs - slot->relativeDelayNs);
    if (waited + frame / 2 < measured) {
        // Grow: a concealed frame of the background first; the packet waits its turn.
        appliedDelayNs_ += frame;
        lastAdaptNs_ = nowNs;
        ++stats_.stretched;
        out.kind = JitterOutputKind::kConceal;
        out.samples = slot->samples;
        out.sequence = nextSequence_;
        out.level = 127;
        return;
    }
    // Shrink: this quiet frame is left out when it has waited more than half a frame beyond the
    // delay the jitter asks for (its p95 and a frame), so the wait stays within half a frame of it.
    if (waited > measured + frame / 2 && Find(nextSequence_ + 1) != nullptr) {
        slot->used = false;
        haveDecoded_ = true;
        lastDecodedSequence_ = slot->sequence;
        lastDecodedTimestamp_ = slot->timestamp;
        ++nextSequence_;
        appliedDelayNs_ = std::max(measured, appliedDelayNs_ - frame);
        lastAdaptNs_ = nowNs;
        ++stats_.skipped;
        CountDue(false);
    }
}

void JitterBuffer::Reset() {
    *this = JitterBuffer();
}

}  // namespace qv::audio
