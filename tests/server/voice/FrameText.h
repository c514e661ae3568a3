#pragma once

// A frame as one line of text ("MemberJoined 1 Ann 100 [I] 0"), so tests can list the frames
// they expect as tables.

#include <string>

#include "VoiceProtocol.h"

namespace qv::voicesvc::test {

// The type's name and its fields, letters in brackets; "undecodable <type>" for a frame whose
// fields do not decode.
std::string FrameText(const voice::Frame& frame);
// The same for one whole encoded frame.
std::string FrameText(const std::string& encoded);

}  // namespace qv::voicesvc::test
