#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The partner who handed out this installation: the first two bytes of Partner.dat
// (little-endian), 1 when the file cannot be read or is shorter than that.
std::uint16_t ReadPartnerNumber(const std::string& partnerFile);

}  // namespace qv
