#include "calls/TextChatHistory.h"

namespace qv {

namespace {

std::size_t Forward(std::size_t i) {
    return (i + 1) % TextChatHistory::kSlots;
}

std::size_t Back(std::size_t i) {
    return (i + TextChatHistory::kSlots - 1) % TextChatHistory::kSlots;
}

}  // namespace

void TextChatHistory::Add(const std::string& text, std::uint32_t sentAt) {
    slots_[head_] = Entry{text, sentAt, true};
    head_ = Forward(head_);
    if (head_ == tail_) {
        slots_[tail_] = Entry{};
        tail_ = Forward(tail_);
    }
    cursor_ = head_;
}

std::size_t TextChatHistory::Size() const {
    return (head_ + kSlots - tail_) % kSlots;
}

std::optional<std::string> TextChatHistory::Previous() {
    if (Size() == 0) {
        return std::nullopt;
    }
    if (cursor_ != tail_) {
        cursor_ = Back(cursor_);
    }
    return slots_[cursor_].text;
}

std::optional<std::string> TextChatHistory::Next() {
    if (Size() == 0 || cursor_ == head_) {
        return std::nullopt;
    }
    if (Forward(cursor_) != head_) {
        cursor_ = Forward(cursor_);
    }
    return slots_[cursor_].text;
}

const TextChatHistory::Entry* TextChatHistory::Recent(std::size_t n) const {
    if (n == 0 || n > Size()) {
        return nullptr;
    }
    const Entry& e = slots_[(head_ + kSlots - n) % kSlots];
    return e.used ? &e : nullptr;
}

}  // namespace qv
