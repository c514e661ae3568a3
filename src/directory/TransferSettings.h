#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Limits of one directory transfer.
struct TransferSettings {
    std::uint32_t connectTimeoutMs = 30000;
    // A transfer that receives nothing for this long is abandoned.
    std::uint32_t stallTimeoutMs = 60000;
    // Larger answers fail the attempt instead of filling memory or the disk.
    std::size_t maxReplyBytes = 8u * 1024u * 1024u;
    std::size_t maxDownloadBytes = 64u * 1024u * 1024u;
};

}  // namespace qv
