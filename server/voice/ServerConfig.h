#pragma once

// The configuration file: what the Welcome tells every engine, the TLS certificate and key, and
// the plain listener for tests of old engines.

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::voicesvc {

struct ServerConfig {
    std::uint32_t requiredControlBuild = SONARO_NET_BUILD;
    std::uint16_t requiredProgramBuild = QUORVANE_BUILD;
    std::uint16_t requiredPatcherBuild = 0;
    std::string serverName = "Quorvane Voice Server";
    // PEM files: the server's certificate chain (its own certificate first) and its key.
    std::string certificateFile;
    std::string privateKeyFile;
    // A listener without TLS, only when asked for (tests of old engines); port -1: none.
    std::string plainHost;
    int plainPort = -1;
    // The directory's public key for voice tickets (a file of 64 hex digits), and the cluster
    // name the tickets must carry.
    std::string ticketPublicKey;
    std::string voiceCluster = "quorvane";
    // The media relay's UDP port on the listening address; 0: any free one (the MediaOffer names
    // it).
    int mediaPort = 0;
    // The forum file (categories and permanent forums); relative to the settings file's
    // folder. Empty: no categories, so users make hidden forums only.
    std::string forumFile;

    // The Welcome's required versions: program build high, patcher build low.
    std::int32_t RequiredVersions() const {
        return static_cast<std::int32_t>((std::uint32_t{requiredProgramBuild} << 16) |
                                         requiredPatcherBuild);
    }

    // Key=Value lines over the defaults; false with a message naming the line on any fault.
    static bool Parse(std::string_view text, ServerConfig& config, std::string& error);
    // A relative TicketPublicKey (or Certificate, PrivateKey, ForumFile) is taken from the file's
    // folder.
    static bool Load(const std::string& path, ServerConfig& config, std::string& error);
};

}  // namespace qv::voicesvc
