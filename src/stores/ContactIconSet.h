#pragma once

// The small pictures of the contact list, drawn once when the window is made: one per presence
// variant and per kind of waiting alert, each with its own colour and shape so that they are
// told apart at a glance.

#include <QIcon>
#include <array>

#include "stores/ContactDisplay.h"

namespace qv {

class ContactIconSet {
  public:
    static constexpr int kSize = 16;

    ContactIconSet();
    const QIcon& Icon(ContactIcon icon) const { return icons_[static_cast<int>(icon)]; }
    // A group's folder picture.
    const QIcon& GroupIcon() const { return group_; }

  private:
    std::array<QIcon, kContactIconCount> icons_;
    QIcon group_;
};

}  // namespace qv
