// The bridge between the audio thread and the session: frames come out in order, a session that
// falls behind loses the oldest ones, it is woken once per batch, and only its own attachment
// can be detached.

#include <gtest/gtest.h>

#include "AudioBridge.h"

namespace qv::net {
namespace {

audio::EncodedFrame FrameAt(std::uint32_t timestamp) {
    audio::EncodedFrame f;
    f.timestamp = timestamp;
    f.payload = {static_cast<std::uint8_t>(timestamp), 1, 2};
    f.level = 30;
    return f;
}

std::vector<std::uint32_t> Timestamps(const AudioBridge::Batch& batch) {
    std::vector<std::uint32_t> out;
    for (const audio::EncodedFrame& f : batch.frames) {
        out.push_back(f.timestamp);
    }
    return out;
}

TEST(AudioBridgeTest, FramesWaitInOrderAndTheOldestGoWhenTheSessionFallsBehind) {
    struct Case {
        const char* name;
        std::uint32_t frames;
        std::vector<std::uint32_t> taken;
        std::uint64_t dropped;
    };
    const std::vector<Case> cases = {
        {"None", 0, {}, 0},
        {"Some", 3, {0, 480, 960}, 0},
        {"Full", 8, {0, 480, 960, 1440, 1920, 2400, 2880, 3360}, 0},
        {"TwoTooMany", 10, {960, 1440, 1920, 2400, 2880, 3360, 3840, 4320}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AudioBridge bridge;
        int wakes = 0;
        bridge.Attach([&] { ++wakes; });
        for (std::uint32_t i = 0; i < c.frames; ++i) {
            bridge.Frame(FrameAt(i * 480));
        }
        AudioBridge::Batch batch;
        bridge.Take(batch);
        EXPECT_EQ(Timestamps(batch), c.taken);
        EXPECT_EQ(bridge.Dropped(), c.dropped);
        EXPECT_EQ(wakes, c.frames > 0 ? 1 : 0) << "one wake per batch";
        if (!batch.frames.empty()) {
            EXPECT_EQ(batch.frames.front().payload.size(), 3u);
            EXPECT_EQ(batch.frames.front().level, 30);
        }
        // Taken: the next frame wakes again.
        bridge.Frame(FrameAt(99));
        EXPECT_EQ(wakes, c.frames > 0 ? 2 : 1);
    }
}

TEST(AudioBridgeTest, NoticesKeepTheirOrderBesideTheFrames) {
    AudioBridge bridge;
    bridge.Attach([] {});
    bridge.MikeActive(true);
    bridge.Frame(FrameAt(1));
    bridge.Talking(88, true);
    bridge.Talking(88, false);
    bridge.MikeActive(false);
    AudioBridge::Batch batch;
    bridge.Take(batch);
    ASSERT_EQ(batch.notices.size(), 4u);
    using Kind = AudioBridge::Notice::Kind;
    EXPECT_EQ(batch.notices[0].kind, Kind::kMikeActive);
    EXPECT_TRUE(batch.notices[0].on);
    EXPECT_EQ(batch.notices[1].kind, Kind::kTalking);
    EXPECT_EQ(batch.notices[1].streamId, 88u);
    EXPECT_TRUE(batch.notices[1].on);
    EXPECT_FALSE(batch.notices[2].on);
    EXPECT_FALSE(batch.notices[3].on);
    EXPECT_EQ(batch.frames.size(), 1u);
}

TEST(AudioBridgeTest, WithNoSessionNothingWaitsAndAnOldSessionCannotDetachANewOne) {
    AudioBridge bridge;
    bridge.Frame(FrameAt(1));
    bridge.MikeActive(true);
    int firstWakes = 0;
    int secondWakes = 0;
    const std::uint64_t first = bridge.Attach([&] { ++firstWakes; });
    AudioBridge::Batch batch;
    bridge.Take(batch);
    EXPECT_TRUE(batch.frames.empty());
    EXPECT_TRUE(batch.notices.empty());
    bridge.Attach([&] { ++secondWakes; });
    bridge.Detach(first);  // the old session going: the new one stays
    bridge.Frame(FrameAt(2));
    EXPECT_EQ(firstWakes, 0);
    EXPECT_EQ(secondWakes, 1);
    bridge.Take(batch);
    EXPECT_EQ(Timestamps(batch), std::vector<std::uint32_t>{2});
}

TEST(AudioBridgeTest, AnOversizedFrameIsRefused) {
    AudioBridge bridge;
    bridge.Attach([] {});
    audio::EncodedFrame big;
    big.payload.resize(AudioBridge::kMaxPayload + 1);
    bridge.Frame(big);
    AudioBridge::Batch batch;
    bridge.Take(batch);
    EXPECT_TRUE(batch.frames.empty());
}

}  // namespace
}  // namespace qv::net
