#pragma once

namespace qv::dirsvc {

// The outcome of a change to an account's contact list or block list. Only kDone changed
// anything (and added 1 to the list's version).
enum class ListChange {
    kDone,
    kAlreadyPresent,  // the contact is in that group / the user is blocked already
    kNotPresent,      // the contact is not in that group / the user is not blocked
    kUserNotFound,
    kSelf,  // blocking oneself
    kGroupExists,
    kGroupNotFound,
    kTooManyContacts,
    kTooManyGroups,
    kTooManyBlocked,
    kError,  // the database failed
};

}  // namespace qv::dirsvc
