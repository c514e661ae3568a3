#pragma once

// Which speakers one listener is sent: at most a few at once, chosen by the level each sender
// puts in its packets, never by decoding them. A chosen speaker keeps its place for a short
// hangover after its last sound, so pauses between words never hand the place to someone else,
// and a newcomer takes a place only from a speaker quieter by a clear margin that has held it
// for a hangover, so two voices of about the same level do not flap.

#include <chrono>
#include <cstdint>
#include <vector>

namespace qv::media {

class SpeakerSelector {
  public:
    using Nanos = std::int64_t;

    struct Settings {
        std::size_t places = 3;  // 1 for slow links
        Nanos hangover = 400'000'000;
        // dB a newcomer must be louder by to take a place from a held speaker.
        int margin = 6;
    };

    SpeakerSelector();
    explicit SpeakerSelector(Settings settings);

    // A packet of that stream at that level (dBov, 127 silence) arrives at now: true when the
    // listener is sent it.
    bool Offer(std::uint32_t streamId, std::uint8_t level, Nanos now);
    // Fewer or more places from now on (a listener's link changed); the loudest stay.
    void SetPlaces(std::size_t places);
    // The stream left the listener's conversation.
    void Forget(std::uint32_t streamId);
    std::size_t Places() const { return settings_.places; }
    // The streams holding a place at now, in no order.
    std::vector<std::uint32_t> Chosen(Nanos now) const;

  private:
    struct Place {
        std::uint32_t streamId = 0;
        std::uint8_t level = 127;
        Nanos since = 0;      // when it took the place
        Nanos lastSound = 0;  // its last packet above silence (or taking the place)
    };

    bool Expired(const Place& place, Nanos now) const;

    Settings settings_;
    std::vector<Place> places_;
};

}  // namespace qv::media
