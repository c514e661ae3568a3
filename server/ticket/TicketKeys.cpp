#include "TicketKeys.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv::ticket {

namespace {

std::string Hex(const unsigned char* data, std::size_t size) {
    std::string out(size * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), data, size);
    out.pop_back();
    return out;
}

// Exactly size bytes as 2*size hex digits, blanks around them allowed.
bool ReadHexFile(const std::string& path, unsigned char* out, std::size_t size,
                 std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string hex = text.str();
    const auto first = hex.find_first_not_of(" \t\r\n");
    const auto last = hex.find_last_not_of(" \t\r\n");
    hex = first == std::string::npos ? std::string() : hex.substr(first, last - first + 1);
    std::size_t decoded = 0;
    if (hex.size() != size * 2 ||
        sodium_hex2bin(out, size, hex.data(), hex.size(), nullptr, &decoded, nullptr) != 0 ||
        decoded != size) {
        error = path + " does not hold a key (" + std::to_string(size * 2) + " hex digits)";
        return false;
    }
    return true;
}

// Writes through a temporary file in the same folder, so a crash never leaves half a key.
bool WriteFile(const std::string& path, const std::string& text, mode_t mode, std::string& error) {
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, mode);
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool WritePublicKey(const std::string& path, const SecretKey& key, std::string& error) {
    PublicKey publicKey{};
    crypto_sign_ed25519_sk_to_pk(publicKey.data(), key.data());
    return WriteFile(PublicKeyPath(path), Hex(publicKey.data(), publicKey.size()) + "\n", 0644,
                     error);
}

}  // namespace

std::string PublicKeyPath(const std::string& secretKeyPath) {
    return secretKeyPath + ".pub";
}

void NewSigningKey(SecretKey& key) {
    PublicKey publicKey{};
    crypto_sign_keypair(publicKey.data(), key.data());
}

bool LoadOrCreateSigningKey(const std::string& path, SecretKey& key, std::string& error) {
    if (sodium_init() < 0) {
        error = "libsodium cannot be initialised";
        return false;
    }
    std::error_code failure;
    if (std::filesystem::exists(path, failure)) {
        unsigned char seed[crypto_sign_SEEDBYTES];
        if (!ReadHexFile(path, seed, sizeof seed, error)) {
            return false;
        }
        PublicKey publicKey{};
        crypto_sign_seed_keypair(publicKey.data(), key.data(), seed);
        sodium_memzero(seed, sizeof seed);
        if (!std::filesystem::exists(PublicKeyPath(path), failure)) {
            return WritePublicKey(path, key, error);
        }
        return true;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, failure)) {
        if (!std::filesystem::create_directories(folder, failure)) {
            error = "cannot create the folder " + folder.string();
            return false;
        }
        ::chmod(folder.c_str(), 0700);
    }
    unsigned char seed[crypto_sign_SEEDBYTES];
    randombytes_buf(seed, sizeof seed);
    PublicKey publicKey{};
    crypto_sign_seed_keypair(publicKey.data(), key.data(), seed);
    std::string text = Hex(seed, sizeof seed) + "\n";
    sodium_memzero(seed, sizeof seed);
    const bool written = WriteFile(path, text, 0600, error);
    sodium_memzero(text.data(), text.size());
    return written && WritePublicKey(path, key, error);
}

bool LoadPublicKey(const std::string& path, PublicKey& key, std::string& error) {
    return ReadHexFile(path, key.data(), key.size(), error);
}

}  // namespace qv::ticket
