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
//   InviteUser(id)                 -> JoinedConference(c, true, false), userListUpdate and
//                                     serverMessage(1, 5, "User is offline - <id>")
//   LeaveConference(c)             -> JoinedConference(c, false, true), userListUpdate
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
