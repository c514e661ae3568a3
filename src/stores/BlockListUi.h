#pragma once

// What the block-list window does for the store: refill whenever the list changed.

namespace qv {

class BlockListUi {
  public:
    virtual ~BlockListUi() = default;
    virtual void BlockListChanged() = 0;
};

}  // namespace qv
