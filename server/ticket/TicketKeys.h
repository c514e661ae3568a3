#pragma once

// The directory's ticket key pair on disk. The secret key file holds the 32-byte Ed25519 seed as
// 64 hex digits (0600, in a folder the owner alone may enter); beside it, "<file>.pub" holds the
// public key the same way, to be copied to every voice server.

#include <string>

#include "VoiceTicket.h"

namespace qv::ticket {

std::string PublicKeyPath(const std::string& secretKeyPath);

// Reads the secret key, or makes a new pair when the file does not exist; the public key file
// is written again when it is missing. False with a message on any fault.
bool LoadOrCreateSigningKey(const std::string& path, SecretKey& key, std::string& error);

// A new pair that lives in memory only.
void NewSigningKey(SecretKey& key);

bool LoadPublicKey(const std::string& path, PublicKey& key, std::string& error);

}  // namespace qv::ticket
