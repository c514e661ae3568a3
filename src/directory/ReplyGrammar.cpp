#include "directory/ReplyGrammar.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace qv::reply {

const char* const kDatabaseConnectionMessage =
    "ERROR CONNECTING TO DATABASE:\n\n"
    "Currently you are unable to connect to the database. Please confirm that you are connected "
    "to the Internet. If so, try logging back into Quorvane in a few minutes.\n\n"
    "If connected to the Internet from behind a proxy server or firewall (frequently installed "
    "on corporate networks), please refer to the following FAQ:\n"
    "http://www.quorvane.com/support/proxy.html\n\n"
    "In addition, you may want to consult with you Internet Service Provider (ISP) or Network "
    "Administrator to resolve any additional connectivity issues.\n\n"
    "For further assistance please contact Quorvane Support at mailto:support@quorvane.com";

bool IsSuccess(std::string_view reply) {
    return reply.starts_with("Success");
}

std::string ErrorText(std::string_view reply) {
    if (reply.starts_with("Fail")) {
        return reply.size() > 5 ? std::string(reply.substr(5)) : std::string();
    }
    return kDatabaseConnectionMessage;
}

namespace {

// Where the value of key + "=" starts in text, or npos.
std::size_t ValueStart(std::string_view text, std::string_view key) {
    if (key.empty() || key == "=") {
        return std::string_view::npos;
    }
    std::string needle(key);
    if (needle.back() != '=') {
        needle.push_back('=');
    }
    std::size_t at = text.find(needle);
    return at == std::string_view::npos ? at : at + needle.size();
}

}  // namespace

std::optional<std::string> FindKeyedField(std::string_view text, std::string_view key,
                                          char terminator) {
    const std::size_t start = ValueStart(text, key);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view value = text.substr(start);
    std::size_t end = value.find(terminator);
    return std::string(end == std::string_view::npos ? value : value.substr(0, end));
}

std::string KeyedField(std::string_view text, std::string_view key, char terminator) {
    return FindKeyedField(text, key, terminator).value_or(std::string());
}

std::string TextAfterKey(std::string_view text, std::string_view key) {
    const std::size_t start = ValueStart(text, key);
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

// The item's key and value when it is key=value with a non-empty key.
bool SplitItem(std::string_view item, std::string_view& key, std::string_view& value) {
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        return false;
    }
    key = item.substr(0, eq);
    value = item.substr(eq + 1);
    return true;
}

}  // namespace

std::optional<std::string> ItemField(std::string_view reply, std::string_view key) {
    ItemReader items(reply);
    std::string_view item;
    while (items.Next(item)) {
        if (item.size() > key.size() && item.starts_with(key) && item[key.size()] == '=') {
            return std::string(item.substr(key.size() + 1));
        }
    }
    return std::nullopt;
}

std::map<std::string_view, std::string_view> ItemFields(std::string_view reply) {
    std::map<std::string_view, std::string_view> fields;
    ItemReader items(reply);
    std::string_view item;
    std::string_view key;
    std::string_view value;
    while (items.Next(item)) {
        if (SplitItem(item, key, value)) {
            fields.emplace(key, value);  // keeps the first
        }
    }
    return fields;
}

namespace {

template <typename T>
T Accumulate(std::string_view text, std::size_t i, unsigned base) {
    T value = 0;
    for (; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned digit;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
        } else {
            break;
        }
        if (digit >= base) {
            break;
        }
        // Saturate like the C library's conversions instead of overflowing.
        if (value > (std::numeric_limits<T>::max() - digit) / base) {
            return std::numeric_limits<T>::max();
        }
        value = value * base + digit;
    }
    return value;
}

std::size_t SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    return i;
}

}  // namespace

long Number(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long magnitude = Accumulate<long>(text, i, 10);
    return negative ? -magnitude : magnitude;
}

unsigned long HexNumber(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
    }
    return Accumulate<unsigned long>(text, i, 16);
}

bool ItemReader::Next(std::string_view& item) {
    if (Empty()) {
        return false;
    }
    const std::size_t end = text_.find(kItemSeparator, at_);
    if (end == std::string_view::npos) {
        item = text_.substr(at_);
        at_ = text_.size();
    } else {
        item = text_.substr(at_, end - at_);
        at_ = end + 1;
    }
    return true;
}

bool ItemReader::Next(std::string& item) {
    std::string_view view;
    if (!Next(view)) {
        return false;
    }
    item.assign(view);
    return true;
}

bool ItemReader::Section(std::string_view key, std::string_view terminator, std::string& section) {
    const std::string_view rest = Rest();
    const std::size_t at = rest.find(key);
    if (at == std::string_view::npos) {
        return false;
    }
    const std::size_t from = std::min(rest.size(), at + key.size() + 1);
    const std::string_view after = rest.substr(from);
    const std::size_t end = terminator.empty() ? std::string_view::npos : after.find(terminator);
    if (end == std::string_view::npos) {
        section.assign(after);
        at_ = text_.size();
    } else {
        section.assign(after.substr(0, end));
        at_ += from + end;
    }
    return true;
}

}  // namespace qv::reply
