#include "ForumBook.h"

#include <algorithm>
#include <string_view>

namespace qv::net {

namespace {

// The only letters the client reads after the second TAB.
std::string ListLetters(const std::string& letters) {
    std::string out;
    for (char c : letters) {
        if (std::string_view("MOHIXT").find(c) != std::string_view::npos) {
            out += c;
        }
    }
    return out;
}

void ListChanged(ForumBook::Events& out) {
    out.emplace_back([](SonaroEventSink& sink) { sink.userListUpdate(); });
}

}  // namespace

void ForumBook::SetOwnId(const std::string& userId) {
    std::lock_guard lock(mutex_);
    ownId_ = userId;
}

ForumBook::Events ForumBook::OnJoinedGroup(const voice::JoinedGroup& m) {
    std::lock_guard lock(mutex_);
    Events out;
    const bool wasIn = !path_.empty();
    path_ = m.path;
    if (m.path.empty()) {
        // Left, kicked, banned or disbanded: the rows and the speaking right go with the forum.
        id_ = 0;
        awaiting_ = false;
        canTalk_ = true;
        rows_.clear();
        const std::string path = m.path;
        out.emplace_back([path](SonaroEventSink& sink) { sink.JoinedGroup(path); });
        if (wasIn) {
            ListChanged(out);
        }
        return out;
    }
    // Another forum's roster follows, or none at all (renamed, or joined again where it is).
    awaiting_ = true;
    const std::string path = m.path;
    out.emplace_back([path](SonaroEventSink& sink) { sink.JoinedGroup(path); });
    return out;
}

ForumBook::Events ForumBook::OnCanTalk(const voice::CanTalk& m) {
    std::lock_guard lock(mutex_);
    Events out;
    canTalk_ = m.on != 0;
    const Bool32 on = m.on != 0 ? 1 : 0;
    out.emplace_back([on](SonaroEventSink& sink) { sink.canTalkEvent(on); });
    return out;
}

ForumBook::Events ForumBook::OnGroupList(const voice::GroupList& m) {
    std::lock_guard lock(mutex_);
    Events out;
    if (!overflowed_ && pieces_.size() + m.piece.size() > kMaxGroupList) {
        // A list this long is no forum list a window could show: dropped, the old one kept.
        overflowed_ = true;
        pieces_.clear();
        pieces_.shrink_to_fit();
    }
    if (!overflowed_) {
        pieces_ += m.piece;
    }
    if (m.last == 0) {
        return out;
    }
    if (overflowed_) {
        overflowed_ = false;
        return out;
    }
    groupList_ = std::move(pieces_);
    pieces_.clear();
    out.emplace_back([](SonaroEventSink& sink) { sink.groupListUpdate(); });
    return out;
}

bool ForumBook::Claims(std::int32_t conversation, bool conference) {
    if (path_.empty() || conference) {
        return false;
    }
    if (conversation == id_) {
        awaiting_ = false;
        return true;
    }
    if (!awaiting_) {
        return false;
    }
    // The roster of the forum just joined: the rows of the one before are gone.
    awaiting_ = false;
    id_ = conversation;
    rows_.clear();
    return true;
}

std::vector<ForumBook::Row>::iterator ForumBook::FindRow(const std::string& userId) {
    return std::find_if(rows_.begin(), rows_.end(),
                        [&](const Row& r) { return r.userId == userId; });
}

bool ForumBook::OnMemberJoined(const voice::MemberJoined& m, bool conference, Events& out) {
    std::lock_guard lock(mutex_);
    if (!Claims(m.conversation, conference)) {
        return false;
    }
    Row row{m.nickname, m.userId, ListLetters(m.letters)};
    if (auto it = FindRow(m.userId); it != rows_.end()) {
        *it = row;
    } else if (rows_.size() < kMaxRows) {
        rows_.push_back(row);
    } else {
        return true;  // a broken server's roster: not held, not raised
    }
    if (m.userId != ownId_) {
        const Bool32 existing = m.existing != 0 ? 1 : 0;
        out.emplace_back([row, existing](SonaroEventSink& sink) {
            sink.UserChange(row.nickname, row.userId, 1, existing);
        });
    }
    ListChanged(out);
    return true;
}

bool ForumBook::OnMemberChanged(const voice::MemberChanged& m, bool conference, Events& out) {
    std::lock_guard lock(mutex_);
    if (!Claims(m.conversation, conference)) {
        return false;
    }
    auto it = FindRow(m.userId);
    if (it == rows_.end()) {
        return true;
    }
    it->nickname = m.nickname;
    it->letters = ListLetters(m.letters);
    ListChanged(out);
    return true;
}

bool ForumBook::OnMemberLeft(const voice::MemberLeft& m, bool conference, Events& out) {
    std::lock_guard lock(mutex_);
    if (!Claims(m.conversation, conference)) {
        return false;
    }
    auto it = FindRow(m.userId);
    if (it == rows_.end()) {
        return true;
    }
    const Row row = *it;
    rows_.erase(it);
    if (m.userId != ownId_) {
        out.emplace_back(
            [row](SonaroEventSink& sink) { sink.UserChange(row.nickname, row.userId, 0, 0); });
    }
    ListChanged(out);
    return true;
}

bool ForumBook::In() const {
    std::lock_guard lock(mutex_);
    return !path_.empty();
}

std::string ForumBook::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

bool ForumBook::CanTalk() const {
    std::lock_guard lock(mutex_);
    return canTalk_;
}

std::string ForumBook::UserList() const {
    std::lock_guard lock(mutex_);
    if (path_.empty()) {
        return {};
    }
    std::string list;
    for (const Row& r : rows_) {
        list += r.nickname + "\t" + r.userId + "\t" + r.letters + "\n";
    }
    return MarkedLocked(list);
}

std::string ForumBook::GroupList() const {
    std::lock_guard lock(mutex_);
    return groupList_;
}

bool ForumBook::SetMuted(const std::string& userId, bool on) {
    std::lock_guard lock(mutex_);
    return on ? muted_.insert(userId).second : muted_.erase(userId) != 0;
}

bool ForumBook::Muted(const std::string& userId) const {
    std::lock_guard lock(mutex_);
    return muted_.count(userId) != 0;
}

std::string ForumBook::MarkMuted(const std::string& list) const {
    std::lock_guard lock(mutex_);
    return MarkedLocked(list);
}

std::string ForumBook::MarkedLocked(const std::string& list) const {
    if (muted_.empty()) {
        return list;
    }
    std::string out;
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t end = list.find('\n', pos);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string line = list.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 != std::string::npos &&
            muted_.count(line.substr(tab1 + 1, tab2 - tab1 - 1)) != 0 &&
            line.find('X', tab2 + 1) == std::string::npos) {
            line += 'X';
        }
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace qv::net
