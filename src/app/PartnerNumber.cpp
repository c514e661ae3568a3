#include "app/PartnerNumber.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

std::uint16_t ReadPartnerNumber(const std::string& partnerFile) {
    // Without blocking, and only a regular file: a FIFO would stop start-up.
    const int fd = ::open(partnerFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return 1;
    }
    struct stat st {};
    unsigned char bytes[2] = {0, 0};
    ssize_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        got = ::read(fd, bytes, 2);
    }
    ::close(fd);
    // A file too short to hold a number counts as no file.
    if (got < 2) {
        return 1;
    }
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace qv
