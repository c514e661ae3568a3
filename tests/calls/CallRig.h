#pragma once

// A call manager over the real engine manager and the simulated engine in automatic mode, with
// recording panes, chat, event log and surroundings, and injected clocks.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "calls/ActiveCallPane.h"
#include "calls/CallChatLines.h"
#include "calls/CallEventLog.h"
#include "calls/CallManager.h"
#include "calls/CallSurroundings.h"
#include "calls/IncomingCallPane.h"
#include "messaging/SystemNoticeList.h"

namespace qv::test {

using Lines = std::vector<std::string>;

// What a record looks like in the logs: "none", "call <id> <nick> c=<conf> on|ringing", or
// "forum <name> on|joining".
std::string Describe(const CallRecord* record);

class RecordingPanes final : public ActiveCallPane, public IncomingCallPane {
  public:
    void ShowActive(CallRecord* record) override;
    void UpdateButtons() override { log.push_back("buttons"); }
    void Refresh() override { log.push_back("refresh"); }
    void StopTextChatBlink() override { log.push_back("stop chat blink"); }
    void StopPickupBlink() override { log.push_back("stop pickup blink"); }
    void ForcedPushToTalkChanged(bool on) override {
        log.push_back(on ? "forced on" : "forced off");
    }
    void ShowSecond(CallRecord* record) override;
    void ResetRingCounter() override { log.push_back("reset ring"); }

    // Only what the panes were shown, in order.
    Lines Shown() const;
    Lines log;
    CallRecord* active = nullptr;
    CallRecord* second = nullptr;
};

class RecordingChat final : public CallChatLines {
  public:
    void JoinedCall(const std::string& nick, const std::string& id) override {
        lines.push_back("joined " + nick + " " + id);
    }
    void PlacedOnHold(const std::string& nick, const std::string& id) override {
        lines.push_back("on hold " + nick + " " + id);
    }
    void EndedCall(const std::string& nick, const std::string& id) override {
        lines.push_back("ended " + nick + " " + id);
    }
    void JoinedForum(const std::string& name) override { lines.push_back("joined forum " + name); }
    void LeftForum(const std::string& name) override { lines.push_back("left forum " + name); }
    void NoticeLine(const std::string& text) override { lines.push_back("notice " + text); }
    void NoConversation() override { lines.push_back("no conversation"); }
    Lines lines;
};

class RecordingCallLog final : public CallEventLog {
  public:
    bool IsOpen() const override { return open; }
    void LogOutgoingCall(std::uint32_t time, const std::string& id,
                         const std::string& nick) override {
        records.push_back("out " + std::to_string(time) + " " + id + " " + nick);
    }
    void LogIncomingCall(std::uint32_t time, const std::string& id,
                         const std::string& nick) override {
        records.push_back("in " + std::to_string(time) + " " + id + " " + nick);
    }
    bool open = true;
    Lines records;
};

class RecordingSurroundings final : public CallSurroundings {
  public:
    bool IsBlocked(const std::string& id) const override { return blocked.count(id) != 0; }
    void OfferCaller(const std::string& id, const std::string& nick) override {
        log.push_back("caller " + id + " " + nick);
    }
    bool MainWindowInFront() const override { return inFront; }
    void BringMainWindowForward() override { log.push_back("forward"); }
    void WebTourVoiceLinkOff() override { ++voiceLinkOff; }
    std::vector<std::string> BlockedIds() const override {
        return {blocked.begin(), blocked.end()};
    }
    std::set<std::string> blocked;
    bool inFront = false;
    int voiceLinkOff = 0;
    Lines log;
};

class CallRig {
  public:
    static constexpr std::uint32_t kWallTime = 1700000000;

    CallRig();
    ~CallRig();

    // Lets the simulated server answer, then the view's timer run.
    void Pump();
    void LogIn();
    // The engine calls of the call control since the last Take (conference calls, messages,
    // forum joins, sounds by event name), then forgets them.
    Lines TakeCalls();
    // The texts of the system notices.
    Lines NoticeTexts() const;
    // The incoming-call notices still open.
    std::size_t OpenCallNotices() const;
    sim::SonaroSimulation& Sim() { return *h.Sim(); }
    // Rings us from that user; the conference id.
    std::int32_t RingIn(const std::string& id, const std::string& nick);
    // Places a call to the user, who answers; its conference id.
    std::int32_t CallAnswered(const std::string& id, const std::string& nick);
    // A forum record made by hand, in the active slot.
    void EnterForum(const std::string& name, bool connected, bool webTour = false);

    EngineHarness h;
    SystemNoticeList notices;
    RecordingPanes panes;
    RecordingChat chat;
    RecordingCallLog eventLog;
    RecordingSurroundings surroundings;
    std::unique_ptr<CallManager> calls;
};

}  // namespace qv::test
