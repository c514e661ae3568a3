#include "app/PartnerNumber.h"

#include <cstdio>

namespace qv {

std::uint16_t ReadPartnerNumber(const std::string& partnerFile) {
    std::FILE* file = std::fopen(partnerFile.c_str(), "rb");
    if (file == nullptr) {
        return 1;
    }
    unsigned char bytes[2] = {0, 0};
    const std::size_t got = std::fread(bytes, 1, 2, file);
    std::fclose(file);
    // A file too short to hold a number counts as no file.
    if (got < 2) {
        return 1;
    }
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace qv
