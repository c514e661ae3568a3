#pragma once

namespace qv::dirsvc {

// The outcome of a store operation.
enum class StoreStatus {
    kOk,
    kNotFound,
    kConflict,  // a unique value (the nickname) is taken
    kFull,      // no Quorvane Number left
    kAborted,   // the caller's step before commit refused
    kError,     // the database failed
};

}  // namespace qv::dirsvc
