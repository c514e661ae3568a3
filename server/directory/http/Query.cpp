#include "http/Query.h"

#include "http/UrlDecoding.h"
#include "util/Text.h"

namespace qv::dirsvc {

Query Query::Parse(std::string_view raw) {
    Query query;
    while (!raw.empty()) {
        const size_t end = raw.find('&');
        const std::string_view piece = raw.substr(0, end);
        raw = end == std::string_view::npos ? std::string_view() : raw.substr(end + 1);
        if (piece.empty()) {
            continue;
        }
        const size_t equals = piece.find('=');
        Item item;
        item.key = text::AsciiLower(PercentDecode(piece.substr(0, equals)));
        if (equals != std::string_view::npos) {
            item.value = PercentDecode(piece.substr(equals + 1));
        }
        query.items_.push_back(std::move(item));
    }
    return query;
}

Query::Lookup Query::Find(std::string_view key, std::string& value) const {
    const std::string wanted = text::AsciiLower(key);
    const Item* found = nullptr;
    for (const Item& item : items_) {
        if (item.key == wanted) {
            if (found != nullptr) {
                return Lookup::kRepeated;
            }
            found = &item;
        }
    }
    if (found == nullptr) {
        return Lookup::kMissing;
    }
    value = found->value;
    return Lookup::kFound;
}

}  // namespace qv::dirsvc
