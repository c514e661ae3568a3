#pragma once

// The input line's colour follows what it holds: a whisper command shows in the whisper colour,
// an emote command in the emote colour, before the line is sent.

#include <string_view>

namespace qv {

enum class InputColour { kNormal, kWhisper, kEmote };

// A leading "/w " (either case), or "/msg ", "/mgs ", "/smg " with a word and a space after it:
// whisper; a leading "/Me " in any case: emote.
InputColour InputColourFor(std::string_view text);

}  // namespace qv
