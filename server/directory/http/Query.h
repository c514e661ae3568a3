#pragma once

// A request's query, split and decoded by the service itself: pieces split at raw '&', each
// "key=value" decoded with PercentDecode (so %26 inside a value is data, '+' stays '+'), keys
// compared without regard to letter case because the client spells some of them two ways.

#include <string>
#include <string_view>
#include <vector>

namespace qv::dirsvc {

class Query {
  public:
    enum class Lookup { kFound, kMissing, kRepeated };

    // raw is the part of the request target after the first '?'.
    static Query Parse(std::string_view raw);

    // kRepeated when the key occurs more than once (a hostile or broken request).
    Lookup Find(std::string_view key, std::string& value) const;
    size_t Size() const { return items_.size(); }

  private:
    struct Item {
        std::string key;  // decoded, lower case
        std::string value;
    };

    std::vector<Item> items_;
};

}  // namespace qv::dirsvc
