#pragma once

// The directory service's reply grammar, the one reader every request family uses.
// A reply is text; it succeeds when it begins with "Success". Fields ("Key=value") and list items
// each end with the item separator 0xFF.

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv::reply {

inline constexpr char kItemSeparator = '\xFF';

// Shown for every failure that is not a "Fail" reply from the service.
extern const char* const kDatabaseConnectionMessage;

// True when the reply begins with "Success" (case-sensitive, first character on).
bool IsSuccess(std::string_view reply);

// A "Fail" reply's text from its sixth character on ("Fail", one separator, the message);
// for anything else the database-connection message.
std::string ErrorText(std::string_view reply);

// The value of the first occurrence of key + "=" (the equals sign is added unless key ends in
// one) anywhere in text, up to the next terminator or the end. Plain case-sensitive substring
// search, so a key may match inside a longer key or a value. Absent: empty.
std::string KeyedField(std::string_view text, std::string_view key, char terminator);
// A field of a reply (ended by the item separator).
inline std::string Field(std::string_view reply, std::string_view key) {
    return KeyedField(reply, key, kItemSeparator);
}
// A parameter of a request's own URL (ended by an ampersand).
inline std::string UrlParameter(std::string_view url, std::string_view key) {
    return KeyedField(url, key, '&');
}
// As KeyedField, but tells an absent key (nullopt) from an empty value: for required fields.
std::optional<std::string> FindKeyedField(std::string_view text, std::string_view key,
                                          char terminator);
inline std::optional<std::string> FindField(std::string_view reply, std::string_view key) {
    return FindKeyedField(reply, key, kItemSeparator);
}
// Everything after the first key + "=" to the end of the text (a request's last parameter read
// back from its URL). Absent: empty.
std::string TextAfterKey(std::string_view text, std::string_view key);

// Equal without regard to ASCII letter case (the login's error text is compared so).
bool EqualsNoCase(std::string_view a, std::string_view b);

// The value of the item that is exactly key + "=" + value, or nullopt. For replies made only of
// keyed fields whose order is not fixed (partner parameters): a longer key ending in key, or key
// inside another field's value, does not count.
std::optional<std::string> ItemField(std::string_view reply, std::string_view key);

// Every item of the form key=value, read in one pass: the first item of a key wins, as for
// ItemField. The views point into reply, which must outlive the map.
std::map<std::string_view, std::string_view> ItemFields(std::string_view reply);

// Decimal text by the usual string-to-integer rule: leading blanks, a sign, digits; none gives 0.
long Number(std::string_view text);
// Hexadecimal text, with or without "0x"; none gives 0.
unsigned long HexNumber(std::string_view text);

// Consumes a reply from the front with a cursor: nothing is copied but the items asked for as
// strings, so reading a reply of any size is linear. A reader made from a string_view reads the
// caller's text, which must outlive it; one made from a std::string rvalue keeps it.
class ItemReader {
  public:
    explicit ItemReader(std::string_view reply) : text_(reply) {}
    explicit ItemReader(const char* reply) : text_(reply) {}
    explicit ItemReader(std::string&& reply) : owned_(std::move(reply)), text_(owned_) {}
    ItemReader(const ItemReader&) = delete;
    ItemReader& operator=(const ItemReader&) = delete;

    // The next item (everything up to the next separator, which goes with it; the last item runs
    // to the end). False only when nothing is left; an empty item between separators is valid.
    bool Next(std::string_view& item);
    bool Next(std::string& item);
    // Cuts out the section after key (skipping the key and one more character): up to terminator
    // when it occurs (reading goes on at the terminator), else the whole rest (nothing left).
    // False when the key does not occur.
    bool Section(std::string_view key, std::string_view terminator, std::string& section);

    bool Empty() const { return at_ >= text_.size(); }
    std::string_view Rest() const { return text_.substr(std::min(at_, text_.size())); }

  private:
    std::string owned_;
    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace qv::reply
