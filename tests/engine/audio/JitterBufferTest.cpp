#include "JitterBuffer.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace qv::audio {
namespace {

using Kind = JitterOutputKind;

constexpr std::int64_t kMs = 1'000'000;

// Packets of 10 ms whose one payload byte names their sequence, so a test sees which packet
// (or whose FEC data) came out.
class Feed {
  public:
    JitterPush Arrive(std::uint64_t seq, std::int64_t atMs, bool marker = false,
                      std::int64_t tsOffsetMs = 0, std::uint8_t level = 20) {
        std::array<std::uint8_t, 1> payload{static_cast<std::uint8_t>(seq)};
        JitterPacket p;
        p.sequence = seq;
        p.timestamp = static_cast<std::uint32_t>(seq * 480 + tsOffsetMs * 48);
        p.marker = marker;
        p.level = level;
        p.samples = 480;
        p.payload = payload.data();
        p.size = payload.size();
        p.arrivalNs = atMs * kMs;
        return buffer.Push(p);
    }
    JitterOutput Pull(std::int64_t atMs) { return buffer.Pull(atMs * kMs); }

    JitterBuffer buffer;
};

struct Expect {
    Kind kind;
    std::uint64_t sequence;  // of the frame the output stands for
    int payloadOf;           // the packet whose bytes came out (-1: none)
};

// One pull every 10 ms from startMs; each packet arrives arrivalMs (-1: never).
struct ScheduleCase {
    const char* name;
    std::vector<std::int64_t> arrivalMs;  // index = sequence
    std::int64_t firstPullMs;
    std::vector<Expect> expected;
    JitterStats stats;  // received, played, recovered, concealed, lost, late, duplicates
};

void RunSchedule(const ScheduleCase& c) {
    Feed feed;
    struct Event {
        std::int64_t atMs;
        std::uint64_t seq;
    };
    std::vector<Event> arrivals;
    for (std::size_t s = 0; s < c.arrivalMs.size(); ++s) {
        if (c.arrivalMs[s] >= 0) {
            arrivals.push_back({c.arrivalMs[s], s});
        }
    }
    std::stable_sort(arrivals.begin(), arrivals.end(),
                     [](const Event& a, const Event& b) { return a.atMs < b.atMs; });
    std::size_t next = 0;
    std::int64_t pullAt = c.firstPullMs;
    std::size_t matched = 0;
    for (int step = 0; step < 200 && matched < c.expected.size(); ++step, pullAt += 10) {
        while (next < arrivals.size() && arrivals[next].atMs <= pullAt) {
            feed.Arrive(arrivals[next].seq, arrivals[next].atMs, arrivals[next].seq == 0);
            ++next;
        }
        const JitterOutput out = feed.Pull(pullAt);
        if (out.kind == Kind::kNothing && matched == 0) {
            continue;  // still buffering the start
        }
        const Expect& e = c.expected[matched];
        EXPECT_EQ(out.kind, e.kind) << c.name << " output " << matched;
        if (out.kind != Kind::kNothing) {
            EXPECT_EQ(out.sequence, e.sequence) << c.name << " output " << matched;
        }
        if (e.payloadOf >= 0) {
            ASSERT_EQ(out.size, 1u) << c.name << " output " << matched;
            EXPECT_EQ(out.payload[0], e.payloadOf) << c.name << " output " << matched;
        }
        ++matched;
    }
    EXPECT_EQ(matched, c.expected.size()) << c.name;
    const JitterStats& s = feed.buffer.Stats();
    EXPECT_EQ(s.received, c.stats.received) << c.name;
    EXPECT_EQ(s.played, c.stats.played) << c.name;
    EXPECT_EQ(s.recovered, c.stats.recovered) << c.name;
    EXPECT_EQ(s.concealed, c.stats.concealed) << c.name;
    EXPECT_EQ(s.lost, c.stats.lost) << c.name;
    EXPECT_EQ(s.late, c.stats.late) << c.name;
}

JitterStats Stats(std::uint64_t received, std::uint64_t played, std::uint64_t recovered,
                  std::uint64_t concealed, std::uint64_t lost, std::uint64_t late) {
    JitterStats s;
    s.received = received;
    s.played = played;
    s.recovered = recovered;
    s.concealed = concealed;
    s.lost = lost;
    s.late = late;
    return s;
}

TEST(JitterBuffer, SchedulesTable) {
    const ScheduleCase cases[] = {
        {"in order",
         {0, 10, 20, 30, 40},
         2,
         {{Kind::kPacket, 0, 0},
          {Kind::kPacket, 1, 1},
          {Kind::kPacket, 2, 2},
          {Kind::kPacket, 3, 3},
          {Kind::kPacket, 4, 4}},
         Stats(5, 5, 0, 0, 0, 0)},
        {"one loss rebuilt from the next packet's FEC",
         {0, 10, -1, 30, 40},
         2,
         {{Kind::kPacket, 0, 0},
          {Kind::kPacket, 1, 1},
          {Kind::kFec, 2, 3},
          {Kind::kPacket, 3, 3},
          {Kind::kPacket, 4, 4}},
         Stats(4, 4, 1, 0, 1, 0)},
        {"a burst of three: two concealed, the third rebuilt",
         {0, 10, -1, -1, -1, 50, 60},
         2,
         {{Kind::kPacket, 0, 0},
          {Kind::kPacket, 1, 1},
          {Kind::kConceal, 2, -1},
          {Kind::kConceal, 3, -1},
          {Kind::kFec, 4, 5},
          {Kind::kPacket, 5, 5},
          {Kind::kPacket, 6, 6}},
         Stats(4, 4, 1, 2, 3, 0)},
        {"reordered within the delay",
         {0, 10, 31, 30, 40},
         2,
         {{Kind::kPacket, 0, 0},
          {Kind::kPacket, 1, 1},
          {Kind::kPacket, 2, 2},
          {Kind::kPacket, 3, 3},
          {Kind::kPacket, 4, 4}},
         Stats(5, 5, 0, 0, 0, 0)},
        {"late: its turn passed, concealed, then dropped",
         {0, 10, 80, -1, 40, 50},
         2,
         {{Kind::kPacket, 0, 0},
          {Kind::kPacket, 1, 1},
          {Kind::kConceal, 2, -1},
          {Kind::kFec, 3, 4},
          {Kind::kPacket, 4, 4},
          {Kind::kPacket, 5, 5},
          {Kind::kConceal, 6, -1}},
         Stats(4, 4, 1, 2, 2, 1)},
        {"the talkspurt ends: five frames concealed, then nothing, and no loss counted",
         {0, 10, 20},
         2,
         {{Kind::kPacket, 0, 0},
          {Kind::kPacket, 1, 1},
          {Kind::kPacket, 2, 2},
          {Kind::kConceal, 3, -1},
          {Kind::kConceal, 4, -1},
          {Kind::kConceal, 5, -1},
          {Kind::kConceal, 6, -1},
          {Kind::kConceal, 7, -1},
          {Kind::kNothing, 0, -1},
          {Kind::kNothing, 0, -1}},
         Stats(3, 3, 0, 5, 0, 0)},
    };
    for (const ScheduleCase& c : cases) {
        RunSchedule(c);
    }
}

TEST(JitterBuffer, StartsAfterTwoFramesOnAnUnknownNetwork) {
    Feed feed;
    EXPECT_EQ(feed.Arrive(0, 0, true), JitterPush::kAccepted);
    EXPECT_EQ(feed.Pull(0).kind, Kind::kNothing);
    // Due at 20 ms; pulls come every 10 ms, so the one nearest the due time starts it.
    EXPECT_EQ(feed.Pull(14).kind, Kind::kNothing);
    EXPECT_EQ(feed.Pull(15).kind, Kind::kPacket);
    EXPECT_EQ(feed.buffer.TargetDelayNs(), 20 * kMs);
}

TEST(JitterBuffer, DuplicatesAreDroppedBeforeAndAfterTheirTurn) {
    Feed feed;
    EXPECT_EQ(feed.Arrive(0, 0, true), JitterPush::kAccepted);
    EXPECT_EQ(feed.Arrive(0, 1, true), JitterPush::kDuplicate);
    EXPECT_EQ(feed.Arrive(1, 10), JitterPush::kAccepted);
    ASSERT_EQ(feed.Pull(20).kind, Kind::kPacket);
    EXPECT_EQ(feed.Arrive(0, 25, true), JitterPush::kDuplicate);
    const JitterOutput second = feed.Pull(30);
    ASSERT_EQ(second.kind, Kind::kPacket);
    EXPECT_EQ(second.sequence, 1u);
    EXPECT_EQ(feed.Arrive(1, 31), JitterPush::kDuplicate);
    EXPECT_EQ(feed.buffer.Stats().duplicates, 3u);
    EXPECT_EQ(feed.buffer.Stats().played, 2u);
}

TEST(JitterBuffer, ANewTalkspurtDuringConcealmentStartsAfreshWithoutLoss) {
    Feed feed;
    std::int64_t t = 0;
    for (std::uint64_t s = 0; s < 5; ++s, t += 10) {
        feed.Arrive(s, t, s == 0);
        feed.Pull(t + 20);
    }
    // Sequence 5 is the next talkspurt's first packet, after 30 ms of silence on the sender's
    // clock; two concealment frames were played meanwhile.
    feed.Pull(t + 20);
    feed.Pull(t + 30);
    EXPECT_EQ(feed.Arrive(5, t + 35, true, 30), JitterPush::kAccepted);
    JitterOutput out;
    for (std::int64_t at = t + 40; at < t + 100 && out.kind != Kind::kPacket; at += 10) {
        out = feed.Pull(at);
    }
    ASSERT_EQ(out.kind, Kind::kPacket);
    EXPECT_EQ(out.sequence, 5u);
    EXPECT_TRUE(out.talkspurtStart);
    EXPECT_EQ(feed.buffer.Stats().lost, 0u);
    EXPECT_EQ(feed.buffer.Stats().late, 0u);
}

TEST(JitterBuffer, ALostMarkerIsFoundFromTheTimestampJump) {
    Feed feed;
    feed.Arrive(0, 0, true);
    feed.Arrive(1, 10);
    feed.Pull(20);
    feed.Pull(30);
    for (std::int64_t at = 40; at <= 100; at += 10) {
        feed.Pull(at);  // concealment, then idle
    }
    // Sequence 2 (the marker) is lost; 3 comes with a jump of 500 ms in its timestamp.
    EXPECT_EQ(feed.Arrive(3, 520, false, 500), JitterPush::kAccepted);
    JitterOutput out;
    for (std::int64_t at = 520; at < 600 && out.kind == Kind::kNothing; at += 10) {
        out = feed.Pull(at);
    }
    EXPECT_EQ(out.kind, Kind::kPacket);
    EXPECT_EQ(out.sequence, 3u);
}

// Jitter of up to 40 ms in one talkspurt, then a calm one: the delay grows only when the second
// starts, and shrinks again once the calm has filled the measurement.
TEST(JitterBuffer, AdaptsOnlyAtTalkspurtStartsAndShrinksWhenCalm) {
    Feed feed;
    std::uint64_t seq = 0;
    std::int64_t gapMs = 0;  // the sender's silences, on its clock
    auto talkspurt = [&](int packets, int startMs, bool jittery, std::int64_t* delayDuring) {
        for (int i = 0; i < packets; ++i, ++seq) {
            const std::int64_t ideal = startMs + i * 10;
            // Every tenth packet held up by 40 ms.
            const std::int64_t jitter = jittery && i % 10 == 5 ? 40 : 0;
            feed.Arrive(seq, ideal + jitter, i == 0, gapMs);
            feed.Pull(ideal + 5);
            if (i == packets / 2 && delayDuring != nullptr) {
                *delayDuring = feed.buffer.TargetDelayNs();
            }
        }
        for (int i = 0; i < 60; ++i) {
            feed.Pull(startMs + packets * 10 + i * 10 + 5);
        }
    };
    std::int64_t during = 0;
    talkspurt(100, 0, true, &during);
    EXPECT_EQ(during, 20 * kMs) << "the first talkspurt keeps the starting delay";
    gapMs += 1000;
    talkspurt(150, 2000, false, &during);
    EXPECT_GE(during, 40 * kMs) << "the jitter of the first shows at the second's start";
    EXPECT_LE(during, 60 * kMs);
    gapMs += 1500;
    talkspurt(20, 5000, false, &during);
    EXPECT_EQ(during, 10 * kMs) << "a calm network: one frame";
}

TEST(JitterBuffer, MeasuredDelayIsClampedTo200Ms) {
    Feed feed;
    for (std::uint64_t s = 0; s < 40; ++s) {
        feed.Arrive(s, static_cast<std::int64_t>(s) * 10 + (s % 2 == 0 ? 0 : 500), s == 0);
    }
    EXPECT_EQ(feed.buffer.MeasuredDelayNs(900 * kMs), JitterBuffer::kMaxDelayNs);
}

TEST(JitterBuffer, MalformedPacketsAreRefused) {
    JitterBuffer buffer;
    std::array<std::uint8_t, 4> bytes{};
    JitterPacket p;
    p.payload = bytes.data();
    p.size = 0;
    p.samples = 480;
    EXPECT_EQ(buffer.Push(p), JitterPush::kMalformed);
    p.size = bytes.size();
    p.samples = 0;
    EXPECT_EQ(buffer.Push(p), JitterPush::kMalformed);
    p.samples = 480;
    p.size = kMaxPayloadBytes + 1;
    EXPECT_EQ(buffer.Push(p), JitterPush::kMalformed);
    EXPECT_EQ(buffer.Stats().malformed, 3u);
}

TEST(JitterBuffer, LossPercentFollowsTheFramesDue) {
    Feed feed;
    std::int64_t t = 0;
    for (std::uint64_t s = 0; s < 100; ++s, t += 10) {
        if (s % 10 != 5) {
            feed.Arrive(s, t, s == 0);
        }
        feed.Pull(t + 25);
    }
    EXPECT_NEAR(feed.buffer.LossPercent(), 10.0f, 1.5f);
}

TEST(JitterBuffer, AFarJumpDropsWhatCanNoLongerPlay) {
    Feed feed;
    feed.Arrive(0, 0, true);
    feed.Pull(20);
    // Ten seconds of packets never came.
    EXPECT_EQ(feed.Arrive(1000, 10'010), JitterPush::kAccepted);
    JitterOutput out;
    for (std::int64_t at = 10'010; at < 10'200 && out.kind != Kind::kPacket; at += 10) {
        out = feed.Pull(at);
    }
    EXPECT_EQ(out.kind, Kind::kPacket);
    EXPECT_EQ(out.sequence, 1000u);
}

// An open microphone: one talkspurt that never ends. Where the speaker is silent the delay
// follows the network a frame at a time; where the speaker talks it stays.
TEST(JitterBuffer, AnEndlessTalkspurtAdaptsInItsSilentFrames) {
    for (const std::uint8_t level : {std::uint8_t{127}, std::uint8_t{20}}) {
        Feed feed;
        std::uint64_t seq = 0;
        auto run = [&](int packets, bool jittery) {
            for (int i = 0; i < packets; ++i, ++seq) {
                const std::int64_t ideal = static_cast<std::int64_t>(seq) * 10;
                const std::int64_t jitter = jittery && i % 10 == 5 ? 40 : 0;
                feed.Arrive(seq, ideal + jitter, seq == 0, 0, level);
                feed.Pull(ideal + 5);
            }
        };
        run(30, false);
        const std::int64_t calm = feed.buffer.TargetDelayNs();
        run(300, true);
        const std::int64_t jittery = feed.buffer.TargetDelayNs();
        run(400, false);
        const std::int64_t calmAgain = feed.buffer.TargetDelayNs();
        if (level == 127) {
            EXPECT_GE(jittery, calm + 20 * kMs);
            EXPECT_LE(calmAgain, 20 * kMs);
            EXPECT_GT(feed.buffer.Stats().stretched, 0u);
            EXPECT_GT(feed.buffer.Stats().skipped, 0u);
        } else {
            EXPECT_EQ(jittery, calm) << "speech is never stretched";
            EXPECT_EQ(calmAgain, calm);
            EXPECT_EQ(feed.buffer.Stats().stretched, 0u);
        }
    }
}

// An open microphone on a calm network whose receiver stalled for 150 ms (a busy machine, a slow
// start): the backlog is worked off in frames without speech or with quiet speech, down to one
// or two frames of delay; loud speech is never squeezed.
TEST(JitterBuffer, AnEndlessTalkspurtWorksOffABacklogInQuietFrames) {
    struct Case {
        std::uint8_t level;
        bool shrinks;
    };
    for (const Case c : {Case{127, true}, Case{70, true}, Case{20, false}}) {
        SCOPED_TRACE(static_cast<int>(c.level));
        Feed feed;
        std::int64_t waitedMs = 0;
        for (std::uint64_t seq = 0; seq < 400; ++seq) {
            const std::int64_t ideal = static_cast<std::int64_t>(seq) * 10;
            feed.Arrive(seq, ideal, seq == 0, 0, c.level);
            if (seq < 20 || seq >= 35) {
                const JitterOutput out = feed.Pull(ideal + 5);
                if (out.kind == Kind::kPacket) {
                    waitedMs = ideal + 5 - static_cast<std::int64_t>(out.sequence) * 10;
                }
            }
        }
        if (c.shrinks) {
            EXPECT_LE(waitedMs, 20) << "one or two frames";
            EXPECT_GT(feed.buffer.Stats().skipped, 0u);
        } else {
            EXPECT_GE(waitedMs, 150);
            EXPECT_EQ(feed.buffer.Stats().skipped, 0u);
        }
        EXPECT_EQ(feed.buffer.Stats().lost, 0u);
        EXPECT_EQ(feed.buffer.Stats().late, 0u);
    }
}

TEST(JitterBuffer, ALongSilenceForgetsOldJitter) {
    Feed feed;
    for (std::uint64_t s = 0; s < 100; ++s) {
        const std::int64_t at = static_cast<std::int64_t>(s) * 10 + (s % 10 == 5 ? 40 : 0);
        feed.Arrive(s, at, s == 0);
        feed.Pull(static_cast<std::int64_t>(s) * 10 + 5);
    }
    EXPECT_GE(feed.buffer.MeasuredDelayNs(1'000 * kMs), 40 * kMs);
    // Six seconds later nothing recent is known: the starting delay again.
    EXPECT_EQ(feed.buffer.MeasuredDelayNs(7'000 * kMs), 20 * kMs);
}

}  // namespace
}  // namespace qv::audio
