#include "calls/TextChatInputColour.h"

#include <cctype>

namespace qv {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
            return false;
        }
    }
    return true;
}

// The rest begins with a word (no blank in it) ended by a space.
bool WordAndSpace(std::string_view rest) {
    const std::size_t space = rest.find(' ');
    return space != std::string_view::npos && space > 0;
}

}  // namespace

InputColour InputColourFor(std::string_view text) {
    if (StartsWithNoCase(text, "/w ")) {
        return InputColour::kWhisper;
    }
    for (std::string_view misspelt : {"/msg ", "/mgs ", "/smg "}) {
        if (StartsWithNoCase(text, misspelt) && WordAndSpace(text.substr(misspelt.size()))) {
            return InputColour::kWhisper;
        }
    }
    if (StartsWithNoCase(text, "/me ")) {
        return InputColour::kEmote;
    }
    return InputColour::kNormal;
}

}  // namespace qv
