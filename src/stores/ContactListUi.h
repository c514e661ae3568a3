#pragma once

// What the contact-list window does for the store: the store owns the groups and contacts and
// tells the window about every change; the window never walks the store on its own except to
// fill itself in ListRebuilt. Every call comes on the user-interface thread.

#include <string>

namespace qv {

struct ContactGroup;
struct UserProfile;

class ContactListUi {
  public:
    virtual ~ContactListUi() = default;

    // Everything changed (load, replacement, clear): refill from the store.
    virtual void ListRebuilt() = 0;
    virtual void GroupAdded(const ContactGroup& group) = 0;
    // Called while the group still exists; its members have been removed before.
    virtual void GroupRemoved(const ContactGroup& group) = 0;
    virtual void ContactAdded(const UserProfile& contact) = 0;
    // Called while the contact still exists (its treeItem is still valid).
    virtual void ContactRemoved(const UserProfile& contact) = 0;
    // Presence, profile or waiting alert changed: redraw and re-sort that item.
    virtual void ContactUpdated(const UserProfile& contact) = 0;
    // On: "Synchronizing...", tree and buttons disabled; off: "Contacts", enabled.
    virtual void SynchronizingChanged(bool on) = 0;
    // The last presence reply after login has arrived: re-sort the whole tree.
    virtual void InitialPresenceDone() = 0;
};

}  // namespace qv
