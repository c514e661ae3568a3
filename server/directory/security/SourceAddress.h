#pragma once

// The part of a caller's address that limits count against: an IPv4 address as it is (also in
// its IPv4-mapped IPv6 form), an IPv6 address by its /64, which one subscriber usually holds
// whole.

#include <string>
#include <string_view>

namespace qv::dirsvc {

std::string SourceKey(std::string_view address);

}  // namespace qv::dirsvc
