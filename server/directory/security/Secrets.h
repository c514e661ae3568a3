#pragma once

// Random values the service mints and the digests it keeps of them (libsodium).

#include <string>
#include <string_view>

namespace qv::dirsvc::secrets {

// Initialises libsodium; false when it cannot run (no randomness).
bool Initialize();

// 128 random bits as 32 lower-case hexadecimal digits.
std::string NewConnectionId();
// A password of letters and digits that survive the client's encoding unchanged, without the
// look-alikes 0/O, 1/l/I.
std::string NewPassword();
// A 32-byte digest (BLAKE2b) to store instead of a bearer token.
std::string Digest(std::string_view token);

}  // namespace qv::dirsvc::secrets
