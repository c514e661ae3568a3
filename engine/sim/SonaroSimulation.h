#pragma once

// sonaro-sim, the scriptable engine: what it offers beyond the engine contract, reached through
// SonaroControl::QueryExtension(kSonaroSimulationExtension).
//
// Recording mode (for tests): every method call and property write is recorded in order with its
// arguments; results come from a script, else from defaults that mean "fine" (true, 0, handle 1,
// empty lists); nothing is raised unless the test raises it through Raise().
//
// Automatic mode (the default, for running the program without a voice server): the engine
// answers like a server on which the user is alone. Its replies are raised from its own thread,
// in order, and reach the host through the host's queue:
//   Connect                        -> connectionEvent(0); writing UserName then -> Registered
//   SetWatchList(list, replace)    -> one Watch(id, 0) per line but the user's own id
//   SetWatchList(id, add)          -> Watch(id, 0) (the user's own id: its current status)
//   SetStatus(mode)                -> Watch(own id, status) when the own id is watched
//   SendUserMessage to oneself     -> UserMessage back from oneself (by id or nickname)
//   SendUserMessage to anyone else -> serverMessage(1, 2, "User is offline - <alias>")
//   chat lines (empty alias)       -> back to oneself when local echo is on, in a forum
//   JoinGroup(name)                -> JoinedGroup(name), userListUpdate, canTalkEvent(true);
//                                     with flag 2 a forum that does not exist is refused with
//                                     serverMessage(1, 1, "The forum does not exist - <name>")
//   JoinGroup("")                  -> JoinedGroup(""), userListUpdate
//   ModeFlags write                -> groupListUpdate (GetGroupList lists a few forums)
//   Calls, with the callees a test scripts (ScriptCallee); an unscripted callee is offline:
//   InviteUser(id)                 -> when no conference is active a new one c, and
//                                     JoinedConference(c, true, false); then by the callee:
//     offline                      -> userListUpdate, serverMessage(1, 5, "User is offline - <id>")
//     ringing                      -> userListUpdate (the callee's row carries I) until the test
//                                     answers or declines for it (RemoteAnswer, RemoteDecline)
//     answering                    -> userListUpdate (I), AcceptedConference(1, nick, id, 0, ""),
//                                     UserChange(nick, id, 1, false), userListUpdate
//     declining (reason, text)     -> userListUpdate (I), AcceptedConference(0, nick, id, reason,
//                                     text), UserChange(nick, id, 0, false), userListUpdate
//                                     A callee invited into an active call joins that call: no
//                                     second JoinedConference.
//   CancelInvitations(ids)         -> the ringing callees among them drop out: UserChange(nick,
//                                     id, 0, false), userListUpdate when the call is active
//   RingIn(id, nick) (test)        -> Invitation(c, nick, id, 0, ""), c a new conference
//   AcceptConference(c), ringing   -> JoinedConference(c, true, false), UserChange(nick, id, 1,
//                                     true) for the caller, userListUpdate (caller, then us)
//   AcceptConference(c), held      -> JoinedConference(c, true, false), userListUpdate (resumed)
//                                     Another active conference is put on hold first.
//   HoldConference(c), active      -> userListUpdate (now empty); c keeps its members
//   DeclineConference(c), ringing  -> nothing raised; c is gone
//   LeaveConference(c)             -> JoinedConference(c, false, true), userListUpdate when c
//                                     was the active one
//   RemoteHold(id, on) (test)      -> the member's row shows H (or not), userListUpdate
//   RemoteLeave(id) (test)         -> a member: UserChange(nick, id, 0, false), userListUpdate;
//                                     a caller still ringing us: InvitationCancel(c, nick, id, 0,
//                                     "")
//   GetUserList                    -> the forum's rows, else the active conference's rows
//                                     ("nick\tid\tLETTERS\n", our own row included)
//   RecordWave(path, 1) ... (path, 0) writes silence of that length as 8 kHz 16-bit mono PCM
// Results are scripted ones when a script is set, else what such a server would give.
// SONARO_SIM_MODE=recording in the environment starts new instances in recording mode.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/SonaroControl.h"

namespace qv::sim {

inline constexpr const char* kSonaroSimulationExtension = "SonaroSimulation";

enum class Mode { Recording, Automatic };

// A method's result: i16/i32/bool results as int, GetPacketLoss as float, lists as text.
using Value = std::variant<std::int32_t, float, std::string>;

// How a called user answers InviteUser in automatic mode.
enum class CalleeAnswer { Offline, Ringing, Answering, Declining };

struct SimCallee {
    std::string nickname;
    CalleeAnswer answer = CalleeAnswer::Offline;
    // For Declining: the decline reason and text the caller is told.
    std::int16_t reason = 0;
    std::string text;
};

class SonaroSimulation {
  public:
    virtual void SetMode(Mode mode) = 0;
    virtual Mode GetMode() const = 0;

    // What the host did, in order: "Name(arg, ...)" for a call, "Name=value" for a property
    // write; text quoted, with \\ \" \n \r \t and \xNN escapes.
    virtual std::vector<std::string> Calls() const = 0;
    virtual void ClearCalls() = 0;

    // The next calls of the method (or read property) with that dispatch id return these
    // results in order, then the default again.
    virtual void ScriptResults(int dispatchId, std::vector<Value> results) = 0;
    // The result of that method whenever no script is left.
    virtual void SetDefaultResult(int dispatchId, Value result) = 0;

    // Raises events into the host: whatever is called on it reaches the host's sink.
    virtual SonaroEventSink& Raise() = 0;
    // Returns once every automatic reply already due has been raised.
    virtual void WaitIdle() = 0;

    virtual std::uint32_t Build() const = 0;

    // The scripted other users of automatic mode. A user is in at most one conference with us.
    // How that user answers a call from us, from the next InviteUser on.
    virtual void ScriptCallee(const std::string& userId, const SimCallee& callee) = 0;
    // That user calls us: a new conference, raised as Invitation; its id, 0 when not connected.
    virtual std::int32_t RingIn(const std::string& userId, const std::string& nickname) = 0;
    // A callee still ringing answers or declines now; false when none is ringing.
    virtual bool RemoteAnswer(const std::string& userId) = 0;
    virtual bool RemoteDecline(const std::string& userId, std::int16_t reason,
                               const std::string& text) = 0;
    // A member puts our conference on hold or resumes it; false when not a member.
    virtual bool RemoteHold(const std::string& userId, bool hold) = 0;
    // A member hangs up, or a caller withdraws its invitation; false when there is neither.
    virtual bool RemoteLeave(const std::string& userId) = 0;

  protected:
    ~SonaroSimulation() = default;
};

// Text as Calls() shows it.
inline std::string QuoteForLog(const std::string& text) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (b < 0x20 || b >= 0x7F) {
                    out += "\\x";
                    out += kHex[b >> 4];
                    out += kHex[b & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace qv::sim
