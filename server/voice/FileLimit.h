#pragma once

namespace qv::voicesvc {

// Raises the soft limit on open files to the hard limit: every engine holds a socket. The
// soft limit reached, or -1.
long RaiseFileLimit();

}  // namespace qv::voicesvc
