#include "FileLimit.h"

#include <sys/resource.h>

namespace qv::voicesvc {

long RaiseFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return -1;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            return -1;
        }
    }
    return static_cast<long>(limit.rlim_cur);
}

}  // namespace qv::voicesvc
