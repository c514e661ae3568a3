#include "AudioEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>
#include <sstream>
#include <vector>

#include "FakeClock.h"
#include "ToneBursts.h"
#include "support/TempFolder.h"

namespace qv::audio {
namespace {

using testing::FakeClock;
using testing::WaitUntil;

constexpr std::int64_t kMs = 1'000'000;

AudioDeviceChoice FileChoice(const qv::test::TempFolder& folder) {
    AudioDeviceChoice choice;
    choice.kind = AudioDeviceChoice::Kind::kFile;
    choice.capturePath = folder.File("mic.wav");
    choice.playbackPath = folder.File("speaker.wav");
    return choice;
}

AudioDeviceChoice NullChoice() {
    AudioDeviceChoice choice;
    choice.kind = AudioDeviceChoice::Kind::kNull;
    return choice;
}

// Waits until the audio thread has lived through ms more of its clock.
bool RunFor(FakeClock& clock, std::int64_t ms) {
    const std::int64_t until = clock.NowNs() + ms * kMs;
    return WaitUntil([&] { return clock.NowNs() >= until; });
}

// Power of one frequency in a stretch of the wave, relative to the stretch's energy (0..1).
double ToneShare(const testing::MonoWave& wave, double fromMs, double lengthMs, double freq) {
    const std::size_t from = static_cast<std::size_t>(fromMs * 48);
    const std::size_t n = static_cast<std::size_t>(lengthMs * 48);
    if (from + n > wave.samples.size()) {
        return 0;
    }
    const double w = 2 * std::numbers::pi * freq / 48000;
    double re = 0, im = 0, energy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = wave.samples[from + i];
        re += v * std::cos(w * static_cast<double>(i));
        im += v * std::sin(w * static_cast<double>(i));
        energy += v * v;
    }
    return energy > 0 ? 2 * (re * re + im * im) / (static_cast<double>(n) * energy) : 0;
}

TEST(AudioEngine, StartAnswersTheCodesOfCodecAndDevice) {
    auto clock = std::make_shared<FakeClock>();
    {
        AudioEngine engine(NullChoice(), {}, clock);
        engine.SetCodec(7);
        EXPECT_EQ(engine.Start(), 4);
        EXPECT_FALSE(engine.Running());
        engine.SetCodec(-1);
        EXPECT_EQ(engine.Start(), 4);
        engine.SetCodec(6);
        EXPECT_EQ(engine.Start(), 0);
        EXPECT_TRUE(engine.Running());
        EXPECT_EQ(engine.Start(), 0) << "starting again is harmless";
        engine.Stop();
        EXPECT_FALSE(engine.Running());
        engine.Stop();
    }
    qv::test::TempFolder folder;  // no mic.wav in it
    AudioEngine engine(FileChoice(folder), {}, clock);
    EXPECT_EQ(engine.Start(), 3);
    EXPECT_NE(engine.DeviceError(), "");
    // It runs on the null device meanwhile, and tries the real one again when asked.
    EXPECT_TRUE(engine.Running());
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), {}, 100));
    EXPECT_EQ(engine.Start(), 0);
    EXPECT_EQ(engine.DeviceError(), "");
}

TEST(AudioEngine, StandbyReleasesTheDeviceAndTakesItBack) {
    auto clock = std::make_shared<FakeClock>();
    AudioEngine engine(NullChoice(), {}, clock);
    EXPECT_TRUE(engine.SetStandby(true)) << "harmless before Start";
    ASSERT_EQ(engine.Start(), 0);
    ASSERT_TRUE(RunFor(*clock, 50));
    ASSERT_TRUE(engine.SetStandby(true));
    // No device, no periods: the device's clock stands still.
    const std::int64_t frozen = clock->NowNs();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(clock->NowNs(), frozen);
    EXPECT_TRUE(engine.Running());
    ASSERT_TRUE(engine.SetStandby(false));
    EXPECT_TRUE(RunFor(*clock, 50));
}

struct Recorded {
    std::mutex mutex;
    std::vector<bool> mike;
    std::vector<std::pair<std::uint32_t, bool>> talking;
    std::atomic<int> frames{0};
    std::atomic<int> voiced{0};  // frames whose level says speech
};

AudioEvents Record(Recorded& r) {
    AudioEvents events;
    events.frame = [&r](const EncodedFrame& f) {
        ++r.frames;
        if (f.level != 127) {
            ++r.voiced;
        }
    };
    events.mikeActive = [&r](bool on) {
        std::lock_guard lock(r.mutex);
        r.mike.push_back(on);
    };
    events.talking = [&r](std::uint32_t id, bool on) {
        std::lock_guard lock(r.mutex);
        r.talking.emplace_back(id, on);
    };
    return events;
}

TEST(AudioEngine, MikeActiveWhileTransmittingAndFramesOnlyInAConversation) {
    auto clock = std::make_shared<FakeClock>();
    Recorded r;
    AudioEngine engine(NullChoice(), Record(r), clock);
    ASSERT_EQ(engine.Start(), 0);
    engine.SetTalk(true);
    ASSERT_TRUE(RunFor(*clock, 100));
    EXPECT_EQ(r.frames.load(), 0) << "no conversation: nothing for the network";
    engine.SetConversation(true);
    ASSERT_TRUE(WaitUntil([&] { return r.frames.load() > 5; }));
    EXPECT_EQ(r.voiced.load(), 0) << "an open microphone in a silent room sends silence";
    {
        std::lock_guard lock(r.mutex);
        ASSERT_EQ(r.mike, std::vector<bool>{true});
    }
    engine.SetTalk(false);
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(r.mutex);
        return r.mike.size() == 2;
    }));
    const int frames = r.frames.load();
    ASSERT_TRUE(RunFor(*clock, 100));
    EXPECT_EQ(r.frames.load(), frames);
    // The gate: silence never opens a squelch of 9.
    engine.SetSquelch(9);
    engine.SetTalk(true);
    ASSERT_TRUE(RunFor(*clock, 200));
    EXPECT_EQ(r.frames.load(), frames);
    std::lock_guard lock(r.mutex);
    EXPECT_EQ(r.mike, (std::vector<bool>{true, false}));
}

TEST(AudioEngine, RecordWaveInStandbyAndCutOffByStopStillGivesAValidFile) {
    qv::test::TempFolder folder;
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"),
                                         {{500, 700, 300}, {1600, 1100, 300}}, 3000));
    auto clock = std::make_shared<FakeClock>();
    const std::string voiceMail = folder.File("mail.wav");
    {
        AudioEngine engine(FileChoice(folder), {}, clock);
        ASSERT_EQ(engine.Start(), 0);
        ASSERT_TRUE(engine.SetStandby(true));
        ASSERT_TRUE(engine.RecordWave(voiceMail, true));
        engine.SetTalk(true);
        ASSERT_TRUE(RunFor(*clock, 2200));
        // Mid-recording, the file as it is on disk already reads.
        const std::optional<testing::MonoWave> partial = testing::ReadMonoWave(voiceMail);
        ASSERT_TRUE(partial);
        EXPECT_EQ(partial->sampleRate, 16000);
        EXPECT_GE(partial->samples.size(), 16000u);
        // Disconnect without RecordWave(..., 0): Stop finishes the file.
        engine.Stop();
        EXPECT_FALSE(engine.RecordWave(voiceMail, false)) << "nothing left to finish";
    }
    const std::optional<testing::MonoWave> wave = testing::ReadMonoWave(voiceMail);
    ASSERT_TRUE(wave);
    EXPECT_GE(wave->samples.size(), 16000u * 2);
    const std::vector<testing::FoundBurst> bursts = testing::FindBursts(*wave, {700, 1100});
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(bursts[0].freqHz, 700);
    EXPECT_EQ(bursts[1].freqHz, 1100);
    EXPECT_NEAR(bursts[1].onsetMs - bursts[0].onsetMs, 1100, 15);
}

TEST(AudioEngine, RecordWaveWorksWithoutStartAndTheDestructorFinishesIt) {
    qv::test::TempFolder folder;
    auto clock = std::make_shared<FakeClock>();
    {
        AudioEngine engine(NullChoice(), {}, clock);
        EXPECT_FALSE(engine.RecordWave("", true));
        EXPECT_FALSE(engine.RecordWave("/nonexistent/folder/a.wav", true));
        ASSERT_TRUE(engine.RecordWave(folder.File("a.wav"), true));
        ASSERT_TRUE(RunFor(*clock, 500));
        ASSERT_TRUE(engine.RecordWave(folder.File("b.wav"), true)) << "a second one replaces it";
        ASSERT_TRUE(RunFor(*clock, 300));
    }
    const std::optional<testing::MonoWave> a = testing::ReadMonoWave(folder.File("a.wav"));
    const std::optional<testing::MonoWave> b = testing::ReadMonoWave(folder.File("b.wav"));
    ASSERT_TRUE(a && b);
    EXPECT_GE(a->samples.size(), 16000u / 2);
    EXPECT_GE(b->samples.size(), 16000u * 3 / 10);
}

TEST(AudioEngine, PlayFileHandlesLiveUntilStopFile) {
    qv::test::TempFolder folder;
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), {}, 100));
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("short.wav"), {{0, 900, 100}}, 100));
    auto clock = std::make_shared<FakeClock>();
    AudioEngine engine(FileChoice(folder), {}, clock);
    // Not started: the device is taken for the sound.
    const std::int64_t start = clock->NowNs();
    const std::int16_t first = engine.PlayFile(folder.File("short.wav"), 100);
    const std::int16_t second = engine.PlayFile(folder.File("short.wav"), 50);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_LT(engine.PlayFile(folder.File("missing.wav"), 100), 0);
    folder.Write("junk.wav", "not a wave");
    EXPECT_LT(engine.PlayFile(folder.File("junk.wav"), 100), 0);
    // Played to the end, the device released (its clock stands still), and still valid.
    ASSERT_TRUE(WaitUntil([&] {
        const std::int64_t before = clock->NowNs();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return before == clock->NowNs() && before >= start + 90 * kMs;
    }));
    EXPECT_TRUE(engine.PauseFile(first, true));
    EXPECT_TRUE(engine.PauseFile(first, false));
    EXPECT_TRUE(engine.StopFile(first));
    EXPECT_FALSE(engine.StopFile(first));
    EXPECT_FALSE(engine.PauseFile(first, true));
    EXPECT_FALSE(engine.PauseFile(99, true));
    EXPECT_TRUE(engine.StopFile(second));
    EXPECT_EQ(engine.PlayFile(folder.File("short.wav"), 100), 3) << "handles are not reused";
}

TEST(AudioEngine, PausedFilesWaitAndPlayWaveEmptyStopsOnlyWaves) {
    qv::test::TempFolder folder;
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), {}, 100));
    testing::ToneOptions clean;
    clean.noiseDbfs = -200;
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("file.wav"), {{0, 600, 5000}}, 5000, clean));
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("wave.wav"), {{0, 1500, 5000}}, 5000, clean));
    auto clock = std::make_shared<FakeClock>();
    std::int64_t epoch = 0;
    std::int64_t stoppedAt = 0;
    std::int64_t pausedAt = 0;
    std::int64_t resumedAt = 0;
    {
        AudioEngine engine(FileChoice(folder), {}, clock);
        ASSERT_EQ(engine.Start(), 0);
        epoch = engine.DeviceEpochNs();
        const std::int16_t handle = engine.PlayFile(folder.File("file.wav"), 100);
        ASSERT_GT(handle, 0);
        EXPECT_EQ(engine.PlayWave(folder.File("wave.wav"), 100), 0);
        ASSERT_TRUE(RunFor(*clock, 300));
        stoppedAt = clock->NowNs();
        EXPECT_EQ(engine.PlayWave("", 0), 0);
        ASSERT_TRUE(RunFor(*clock, 300));
        pausedAt = clock->NowNs();
        ASSERT_TRUE(engine.PauseFile(handle, true));
        ASSERT_TRUE(RunFor(*clock, 300));
        resumedAt = clock->NowNs();
        ASSERT_TRUE(engine.PauseFile(handle, false));
        ASSERT_TRUE(RunFor(*clock, 300));
        engine.Stop();
    }
    const std::optional<testing::MonoWave> out = testing::ReadMonoWave(folder.File("speaker.wav"));
    ASSERT_TRUE(out);
    auto ms = [&](std::int64_t ns) { return static_cast<double>(ns - epoch) / kMs; };
    // Both before PlayWave(""), only the file after it, nothing while paused, the file again.
    const double mixed600 = ToneShare(*out, ms(stoppedAt) - 150, 100, 600);
    const double mixed1500 = ToneShare(*out, ms(stoppedAt) - 150, 100, 1500);
    EXPECT_GT(mixed600, 0.3);
    EXPECT_GT(mixed1500, 0.3);
    // (The audio thread runs fast on its clock: what a call changes shows a little later.)
    EXPECT_GT(ToneShare(*out, ms(stoppedAt) + 150, 100, 600), 0.9);
    EXPECT_LT(ToneShare(*out, ms(stoppedAt) + 150, 100, 1500), 0.05);
    const std::optional<testing::MonoWave>& w = out;
    double pausedEnergy = 0;
    for (std::size_t i = static_cast<std::size_t>((ms(pausedAt) + 150) * 48);
         i < static_cast<std::size_t>(ms(resumedAt) * 48) && i < w->samples.size(); ++i) {
        pausedEnergy += std::abs(w->samples[i]);
    }
    EXPECT_EQ(pausedEnergy, 0);
    EXPECT_GT(ToneShare(*out, ms(resumedAt) + 150, 100, 600), 0.9);
}

// The whole way of a voice: tone bursts as the microphone, coded, handed straight back as a
// remote speaker's packets, buffered, decoded and written as the speaker's output. Each burst
// comes out with its frequency, a few frames later.
struct LoopbackCase {
    const char* name;
    int frameMs;
    int dropEvery;  // 0: no loss
};

TEST(AudioEngine, LoopbackFromMicrophoneToSpeakerFindsEveryBurst) {
    const LoopbackCase cases[] = {
        {"calls, 10 ms frames", 10, 0},
        {"forums, 20 ms frames", 20, 0},
        {"every seventh packet lost", 10, 7},
    };
    for (const LoopbackCase& c : cases) {
        qv::test::TempFolder folder;
        const std::vector<double> freqs = {500, 800, 1300, 2100, 3400};
        std::vector<testing::ToneBurst> bursts;
        for (std::size_t i = 0; i < freqs.size(); ++i) {
            bursts.push_back({200 + static_cast<int>(i) * 400, freqs[i], 80});
        }
        ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), bursts, 2400));
        auto clock = std::make_shared<FakeClock>();
        std::atomic<AudioEngine*> self{nullptr};
        Recorded r;
        std::uint64_t sequence = 0;
        AudioEvents events = Record(r);
        events.frame = [&](const EncodedFrame& f) {
            ++r.frames;
            const std::uint64_t seq = sequence++;
            if (c.dropEvery > 0 && seq % static_cast<std::uint64_t>(c.dropEvery) == 3) {
                return;
            }
            ReceivedFrame in;
            in.streamId = 7;
            in.sequence = seq;
            in.timestamp = f.timestamp;
            in.marker = f.talkspurtStart;
            in.level = f.level;
            in.payload = f.payload;
            in.arrivalNs = f.captureNs + kMs;
            self.load()->Receive(std::move(in));
        };
        AudioEngine engine(FileChoice(folder), std::move(events), clock);
        self = &engine;
        engine.SetFrameMs(c.frameMs);
        // Before Start: the clock runs fast from there.
        engine.SetConversation(true);
        engine.SetTalk(true);
        ASSERT_EQ(engine.Start(), 0) << c.name;
        const std::int64_t epoch = engine.DeviceEpochNs();
        ASSERT_TRUE(WaitUntil([&] { return clock->NowNs() > epoch + 2600 * kMs; })) << c.name;
        const float loss = engine.PacketLoss();
        engine.Stop();
        self = nullptr;

        const std::vector<testing::FoundBurst> found =
            testing::FindBursts(folder.File("speaker.wav"), freqs);
        std::ostringstream seen;
        for (const testing::FoundBurst& b : found) {
            seen << ' ' << b.freqHz << '@' << b.onsetMs << '/' << b.lengthMs;
        }
        ASSERT_EQ(found.size(), bursts.size()) << c.name << ":" << seen.str();
        for (std::size_t i = 0; i < bursts.size(); ++i) {
            EXPECT_EQ(found[i].freqHz, bursts[i].freqHz) << c.name << " burst " << i;
            const double latency = found[i].onsetMs - bursts[i].startMs;
            EXPECT_GT(latency, 5) << c.name << " burst " << i;
            EXPECT_LT(latency, 120) << c.name << " burst " << i;
        }
        if (c.dropEvery > 0) {
            EXPECT_NEAR(loss, 100.0f / static_cast<float>(c.dropEvery), 4.0f) << c.name;
        } else {
            EXPECT_EQ(loss, 0.0f) << c.name;
        }
        std::lock_guard lock(r.mutex);
        // The speaker talks in each burst and falls silent after it (300 ms hangover).
        ASSERT_EQ(r.talking.size(), 2 * bursts.size()) << c.name;
        EXPECT_EQ(r.talking.front(), std::make_pair(std::uint32_t{7}, true)) << c.name;
        EXPECT_EQ(r.talking.back(), std::make_pair(std::uint32_t{7}, false)) << c.name;
    }
}

TEST(AudioEngine, ReceiveDropsWhileStoppedAndAfterAReset) {
    auto clock = std::make_shared<FakeClock>();
    AudioEngine engine(NullChoice(), {}, clock);
    ReceivedFrame frame;
    frame.payload = {0xFF, 0xFF};
    engine.Receive(frame);  // not started: ignored, never blocks
    ASSERT_EQ(engine.Start(), 0);
    frame.payload.assign(5000, 1);  // more than any datagram
    engine.Receive(frame);
    for (int i = 0; i < 2000; ++i) {
        frame.payload = {0xFF, 0xFF, 0xFF};
        frame.sequence = static_cast<std::uint64_t>(i);
        engine.Receive(frame);  // junk, and more than the ring holds
    }
    engine.ResetReceivers();
    EXPECT_TRUE(RunFor(*clock, 50));
    EXPECT_EQ(engine.PacketLoss(), 0.0f);
}

TEST(AudioEngine, LocalEchoPlaysTheUsersOwnVoice) {
    for (bool localEcho : {false, true}) {
        qv::test::TempFolder folder;
        ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), {{300, 900, 100}}, 800));
        auto clock = std::make_shared<FakeClock>();
        {
            AudioEngine engine(FileChoice(folder), {}, clock);
            engine.SetLocalEcho(localEcho);
            engine.SetTalk(true);
            ASSERT_EQ(engine.Start(), 0);
            const std::int64_t epoch = engine.DeviceEpochNs();
            ASSERT_TRUE(WaitUntil([&] { return clock->NowNs() > epoch + 700 * kMs; }));
        }
        const std::vector<testing::FoundBurst> found =
            testing::FindBursts(folder.File("speaker.wav"), {900});
        if (!localEcho) {
            EXPECT_TRUE(found.empty());
            continue;
        }
        ASSERT_EQ(found.size(), 1u);
        EXPECT_GT(found[0].onsetMs, 300);
        EXPECT_LT(found[0].onsetMs, 340);
    }
}

// The loudest 10 ms of a wave, in dBFS.
double PeakDbfs(const testing::MonoWave& wave) {
    double peak = 0;
    for (std::size_t at = 0; at + 480 <= wave.samples.size(); at += 480) {
        double sum = 0;
        for (std::size_t i = 0; i < 480; ++i) {
            sum += static_cast<double>(wave.samples[at + i]) * wave.samples[at + i];
        }
        peak = std::max(peak, sum / 480);
    }
    return peak > 0 ? 10 * std::log10(peak) - 20 * std::log10(32768.0) : -120;
}

TEST(AudioEngine, MuteVolumeDucksTheOthersWhileTheUserTalks) {
    double peaks[2] = {0, 0};
    for (int mute = 0; mute <= 1; ++mute) {
        qv::test::TempFolder folder;
        ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), {{200, 1000, 200}}, 800));
        auto clock = std::make_shared<FakeClock>();
        std::atomic<AudioEngine*> self{nullptr};
        std::uint64_t sequence = 0;
        AudioEvents events;
        events.frame = [&](const EncodedFrame& f) {
            ReceivedFrame in;
            in.streamId = 3;
            in.sequence = sequence++;
            in.timestamp = f.timestamp;
            in.marker = f.talkspurtStart;
            in.level = f.level;
            in.payload = f.payload;
            in.arrivalNs = f.captureNs;
            self.load()->Receive(std::move(in));
        };
        {
            AudioEngine engine(FileChoice(folder), std::move(events), clock);
            self = &engine;
            engine.SetMuteVolume(mute);
            engine.SetConversation(true);
            engine.SetTalk(true);
            ASSERT_EQ(engine.Start(), 0);
            const std::int64_t epoch = engine.DeviceEpochNs();
            ASSERT_TRUE(WaitUntil([&] { return clock->NowNs() > epoch + 700 * kMs; }));
            engine.Stop();
        }
        const std::optional<testing::MonoWave> out =
            testing::ReadMonoWave(folder.File("speaker.wav"));
        ASSERT_TRUE(out);
        peaks[mute] = PeakDbfs(*out);
    }
    EXPECT_GT(peaks[0], -30);
    EXPECT_NEAR(peaks[0] - peaks[1], 20, 2);
}

TEST(AudioEngine, WithoutASoundCardItRunsOnTheNullDeviceAndSaysWhy) {
    // This machine may or may not have a card; either way the engine runs.
    AudioEngine engine(AudioDeviceChoice{}, {});
    const std::int32_t code = engine.Start();
    EXPECT_TRUE(code == 0 || code == 1 || code == 2 || code == 3 || code == 5) << code;
    EXPECT_EQ(code != 0, engine.DeviceError() != "") << engine.DeviceError();
    EXPECT_TRUE(engine.Running());
    EXPECT_TRUE(engine.SetStandby(true));
    engine.Stop();
}

// Two engines on the real monotonic clock, A's frames handed straight to B: the files' shared
// timeline turns onsets into mouth-to-ear times (loose bounds: this is no benchmark, and the
// machine may be busy).
TEST(AudioEngine, TwoEnginesInRealTimeShareTheMonotonicTimeline) {
    qv::test::TempFolder folder;
    const std::vector<double> freqs = {600, 1400, 2600};
    std::vector<testing::ToneBurst> bursts;
    for (std::size_t i = 0; i < freqs.size(); ++i) {
        bursts.push_back({300 + static_cast<int>(i) * 500, freqs[i], 60});
    }
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("a-mic.wav"), bursts, 2000));
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("b-mic.wav"), {}, 100));
    AudioDeviceChoice a;
    a.kind = AudioDeviceChoice::Kind::kFile;
    a.capturePath = folder.File("a-mic.wav");
    a.playbackPath = folder.File("a-speaker.wav");
    AudioDeviceChoice b = a;
    b.capturePath = folder.File("b-mic.wav");
    b.playbackPath = folder.File("b-speaker.wav");

    std::int64_t epochA = 0;
    std::int64_t epochB = 0;
    {
        AudioEngine listener(b, {});
        ASSERT_EQ(listener.Start(), 0);
        std::uint64_t sequence = 0;
        AudioEvents events;
        events.frame = [&](const EncodedFrame& f) {
            ReceivedFrame in;
            in.streamId = 11;
            in.sequence = sequence++;
            in.timestamp = f.timestamp;
            in.marker = f.talkspurtStart;
            in.level = f.level;
            in.payload = f.payload;
            in.arrivalNs = MonotonicNowNs();
            listener.Receive(std::move(in));
        };
        AudioEngine speaker(a, std::move(events));
        speaker.SetConversation(true);
        speaker.SetTalk(true);
        ASSERT_EQ(speaker.Start(), 0);
        epochA = speaker.DeviceEpochNs();
        epochB = listener.DeviceEpochNs();
        ASSERT_GT(epochA, 0);
        ASSERT_GT(epochB, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        speaker.Stop();
        listener.Stop();
    }
    const std::vector<testing::FoundBurst> found =
        testing::FindBursts(folder.File("b-speaker.wav"), freqs);
    ASSERT_EQ(found.size(), bursts.size());
    for (std::size_t i = 0; i < bursts.size(); ++i) {
        EXPECT_EQ(found[i].freqHz, bursts[i].freqHz);
        const double heard = static_cast<double>(epochB) / kMs + found[i].onsetMs;
        const double spoken = static_cast<double>(epochA) / kMs + bursts[i].startMs;
        EXPECT_GT(heard - spoken, 5) << i;
        EXPECT_LT(heard - spoken, 300) << i;
    }
}

TEST(AudioEngine, SoundsPlayInStandbyThroughTheDeviceTakenOnDemand) {
    qv::test::TempFolder folder;
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("mic.wav"), {}, 100));
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("ring.wav"), {{50, 1200, 100}}, 200));
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("mail.wav"), {{50, 700, 100}}, 200));
    auto clock = std::make_shared<FakeClock>();
    // Played to its end and the device let go: the device's clock stands still.
    auto releasedAfter = [&](std::int64_t from, std::int64_t ms) {
        return WaitUntil([&] {
            const std::int64_t before = clock->NowNs();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return before == clock->NowNs() && before >= from + ms * kMs;
        });
    };
    {
        AudioEngine engine(FileChoice(folder), {}, clock);
        ASSERT_EQ(engine.Start(), 0);
        ASSERT_TRUE(engine.SetStandby(true));
        std::int64_t start = clock->NowNs();
        EXPECT_EQ(engine.PlayWave(folder.File("ring.wav"), 100), 0);
        ASSERT_TRUE(releasedAfter(start, 190));
        start = clock->NowNs();
        EXPECT_GT(engine.PlayFile(folder.File("mail.wav"), 100), 0);
        ASSERT_TRUE(releasedAfter(start, 190));
        EXPECT_TRUE(engine.SetStandby(false));
    }
    const std::vector<testing::FoundBurst> found =
        testing::FindBursts(folder.File("speaker.wav"), {700, 1200});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].freqHz, 1200);
    EXPECT_EQ(found[1].freqHz, 700);
}

}  // namespace
}  // namespace qv::audio
