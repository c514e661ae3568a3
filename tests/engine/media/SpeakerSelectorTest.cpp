#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SpeakerSelector.h"

namespace qv::media {
namespace {

constexpr SpeakerSelector::Nanos kMs = 1'000'000;

struct Step {
    SpeakerSelector::Nanos atMs;
    std::uint32_t stream;
    std::uint8_t level;
    bool forwarded;
};

void Play(SpeakerSelector& selector, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        EXPECT_EQ(selector.Offer(s.stream, s.level, s.atMs * kMs), s.forwarded)
            << "at " << s.atMs << " ms, stream " << s.stream << " level " << int{s.level};
    }
}

TEST(SpeakerSelectorTest, ThreePlacesByLevelWithHangover) {
    struct Case {
        const char* name;
        std::size_t places;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"three speakers all go through",
         3,
         {{0, 1, 40, true}, {0, 2, 50, true}, {0, 3, 60, true}}},
        {"a fourth is not sent while the three talk",
         3,
         {{0, 1, 40, true}, {0, 2, 50, true}, {0, 3, 60, true}, {10, 4, 58, false}}},
        {"a clearly louder fourth takes the quietest place once it was held a hangover",
         3,
         {{0, 1, 40, true},
          {0, 2, 50, true},
          {0, 3, 60, true},
          {100, 4, 20, false},  // the places are too fresh
          {400, 1, 40, true},
          {400, 2, 50, true},
          {400, 3, 60, true},
          {410, 4, 20, true},  // 60 gives way
          {420, 3, 60, false},
          {420, 4, 20, true}}},
        {"a newcomer only a little louder waits",
         3,
         {{0, 1, 40, true},
          {0, 2, 50, true},
          {0, 3, 60, true},
          {500, 3, 60, true},
          {500, 1, 40, true},
          {500, 2, 50, true},
          {510, 4, 56, false}}},
        {"a pause shorter than the hangover keeps the place",
         3,
         {{0, 1, 40, true},
          {0, 2, 50, true},
          {0, 3, 60, true},
          {300, 1, 40, true},
          {300, 2, 50, true},  // 3 pauses
          {350, 4, 40, false},
          {380, 3, 60, true}}},
        {"silence for the hangover frees the place",
         3,
         {{0, 1, 40, true},
          {0, 2, 50, true},
          {0, 3, 60, true},
          {100, 3, 127, true},  // a chosen speaker's silence still goes through
          {300, 1, 40, true},
          {300, 2, 50, true},
          {501, 4, 90, true},  // 3 last made a sound at 0
          {510, 3, 60, false}}},
        {"one place for a slow link",
         1,
         {{0, 1, 60, true},
          {10, 2, 30, false},
          {400, 1, 60, true},
          {410, 2, 30, true},
          {420, 1, 60, false}}},
        {"with free places even silence goes through", 3, {{0, 1, 127, true}, {10, 2, 127, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpeakerSelector selector({c.places, 400 * kMs, 6});
        Play(selector, c.steps);
    }
}

TEST(SpeakerSelectorTest, FewerPlacesKeepTheLoudestAndAForgottenStreamLeaves) {
    SpeakerSelector selector;
    Play(selector, {{0, 1, 60, true}, {0, 2, 30, true}, {0, 3, 45, true}});
    selector.SetPlaces(1);
    EXPECT_EQ(selector.Chosen(0), (std::vector<std::uint32_t>{2}));
    selector.Forget(2);
    EXPECT_TRUE(selector.Chosen(0).empty());
    Play(selector, {{10, 1, 60, true}, {10, 3, 45, false}});
    selector.SetPlaces(3);
    Play(selector, {{20, 3, 45, true}});
    auto chosen = selector.Chosen(20 * kMs);
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen, (std::vector<std::uint32_t>{1, 3}));
}

}  // namespace
}  // namespace qv::media
