#pragma once

#include <string>
#include <string_view>

namespace qv::dirsvc {

// %XX (either case) becomes the byte it names, whatever it is (0x00 and 0xFF included); a '%'
// not followed by two hexadecimal digits stays as it is, and so does '+': the client never
// writes '+' for a space, so a '+' is one the user typed.
std::string PercentDecode(std::string_view text);

}  // namespace qv::dirsvc
