#include "SpeakerSelector.h"

#include <algorithm>

namespace qv::media {

namespace {

constexpr std::uint8_t kSilence = 127;

}  // namespace

SpeakerSelector::SpeakerSelector() : SpeakerSelector(Settings{}) {}

SpeakerSelector::SpeakerSelector(Settings settings) : settings_(settings) {
    settings_.places = std::max<std::size_t>(settings_.places, 1);
    places_.reserve(settings_.places);
}

bool SpeakerSelector::Expired(const Place& place, Nanos now) const {
    return now - place.lastSound > settings_.hangover;
}

bool SpeakerSelector::Offer(std::uint32_t streamId, std::uint8_t level, Nanos now) {
    for (Place& place : places_) {
        if (place.streamId == streamId) {
            place.level = level;
            if (level < kSilence) {
                place.lastSound = now;
            }
            return true;
        }
    }
    // A place whose speaker fell silent for a hangover is free; so is one never taken.
    Place* free = nullptr;
    for (Place& place : places_) {
        if (Expired(place, now)) {
            free = &place;
            break;
        }
    }
    if (free == nullptr && places_.size() < settings_.places) {
        free = &places_.emplace_back();
    }
    if (free == nullptr) {
        // Full: the quietest speaker that has held its place a hangover gives way to a clearly
        // louder newcomer.
        Place* quietest = nullptr;
        for (Place& place : places_) {
            if (now - place.since >= settings_.hangover &&
                (quietest == nullptr || place.level > quietest->level)) {
                quietest = &place;
            }
        }
        if (quietest == nullptr ||
            static_cast<int>(level) + settings_.margin > static_cast<int>(quietest->level)) {
            return false;
        }
        free = quietest;
    }
    *free = Place{streamId, level, now, now};
    return true;
}

void SpeakerSelector::SetPlaces(std::size_t places) {
    settings_.places = std::max<std::size_t>(places, 1);
    if (places_.size() > settings_.places) {
        std::sort(places_.begin(), places_.end(),
                  [](const Place& a, const Place& b) { return a.level < b.level; });
        places_.resize(settings_.places);
    }
}

void SpeakerSelector::Forget(std::uint32_t streamId) {
    std::erase_if(places_, [streamId](const Place& place) { return place.streamId == streamId; });
}

std::vector<std::uint32_t> SpeakerSelector::Chosen(Nanos now) const {
    std::vector<std::uint32_t> chosen;
    for (const Place& place : places_) {
        if (!Expired(place, now)) {
            chosen.push_back(place.streamId);
        }
    }
    return chosen;
}

}  // namespace qv::media
