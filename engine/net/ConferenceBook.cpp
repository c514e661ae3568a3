#include "ConferenceBook.h"

#include <algorithm>

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

bool Invited(const std::string& letters) {
    return letters.find('I') != std::string::npos;
}

}  // namespace

void ConferenceBook::SetOwnId(const std::string& userId) {
    std::lock_guard lock(mutex_);
    ownId_ = userId;
}

void ConferenceBook::Inviting() {
    std::lock_guard lock(mutex_);
    if (active_ == 0) {
        mayCreate_ = true;
    }
}

bool ConferenceBook::MayAccept(std::int32_t conference) {
    std::lock_guard lock(mutex_);
    return ringing_.count(conference) != 0 ||
           (conference != active_ && conferences_.count(conference) != 0);
}

bool ConferenceBook::MayDecline(std::int32_t conference) {
    std::lock_guard lock(mutex_);
    return ringing_.erase(conference) != 0;
}

bool ConferenceBook::MayHold(std::int32_t conference) {
    std::lock_guard lock(mutex_);
    return conference != 0 && conference == active_;
}

bool ConferenceBook::MayLeave(std::int32_t conference) {
    std::lock_guard lock(mutex_);
    return conferences_.count(conference) != 0;
}

std::int32_t ConferenceBook::HangUpUnjoined(bool& armed) {
    std::lock_guard lock(mutex_);
    armed = false;
    if (mayCreate_) {
        abandonNext_ = true;
        fence_.reset();
        armed = true;
        return 0;
    }
    return lastMade_ != 0 && lastMade_ == active_ ? lastMade_ : 0;
}

void ConferenceBook::SetFence(std::uint32_t fence) {
    std::lock_guard lock(mutex_);
    if (abandonNext_) {
        fence_ = fence;
    }
}

void ConferenceBook::Fenced(std::uint32_t answered) {
    std::lock_guard lock(mutex_);
    if (abandonNext_ && fence_ && answered >= *fence_) {
        // The InviteUser was refused: no conference is coming.
        abandonNext_ = false;
        fence_.reset();
    }
}

ConferenceBook::Conference* ConferenceBook::Find(std::int32_t conference) {
    auto it = conferences_.find(conference);
    return it != conferences_.end() ? &it->second : nullptr;
}

void ConferenceBook::ListChanged(std::int32_t conference, Reaction& out) const {
    if (conference == active_) {
        out.events.emplace_back([](SonaroEventSink& sink) { sink.userListUpdate(); });
    }
}

ConferenceBook::Reaction ConferenceBook::OnJoined(const voice::JoinedConference& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    const std::int32_t c = m.conference;
    if (m.joined != 0) {
        const bool made = conferences_.count(c) == 0 && ringing_.count(c) == 0;
        ringing_.erase(c);
        Conference& conference = conferences_[c];
        if (made) {
            mayCreate_ = false;
            lastMade_ = c;
            if (abandonNext_) {
                // Its call was hung up already: leave it without telling the host.
                abandonNext_ = false;
                fence_.reset();
                conference.abandoned = true;
                out.leave = c;
                return out;
            }
        }
        if (conference.abandoned) {
            return out;
        }
        active_ = c;
        out.events.emplace_back([c](SonaroEventSink& sink) { sink.JoinedConference(c, 1, 0); });
        ListChanged(c, out);
        return out;
    }
    Conference* conference = Find(c);
    const bool abandoned = conference != nullptr && conference->abandoned;
    const bool wasActive = c == active_;
    if (wasActive) {
        active_ = 0;
    }
    if (m.deleted != 0) {
        conferences_.erase(c);
        if (!abandoned) {
            out.events.emplace_back([c](SonaroEventSink& sink) { sink.JoinedConference(c, 0, 1); });
        }
    }
    // Held: nothing is raised for the hold itself; the user list is now empty.
    if (wasActive && !abandoned) {
        out.events.emplace_back([](SonaroEventSink& sink) { sink.userListUpdate(); });
    }
    return out;
}

ConferenceBook::Reaction ConferenceBook::OnInvitation(const voice::InvitationNotice& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    ringing_.insert(m.conference);
    out.events.emplace_back([m](SonaroEventSink& sink) {
        sink.Invitation(m.conference, m.nickname, m.userId, m.number, m.text);
    });
    return out;
}

ConferenceBook::Reaction ConferenceBook::OnInvitationCancel(const voice::InvitationNotice& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    ringing_.erase(m.conference);
    out.events.emplace_back([m](SonaroEventSink& sink) {
        sink.InvitationCancel(m.conference, m.nickname, m.userId, m.number, m.text);
    });
    return out;
}

ConferenceBook::Reaction ConferenceBook::OnAccepted(const voice::AcceptedConference& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    if (const Conference* c = Find(m.conference); c != nullptr && c->abandoned) {
        return out;
    }
    out.events.emplace_back([m](SonaroEventSink& sink) {
        sink.AcceptedConference(m.accepted, m.nickname, m.userId, m.reason, m.text);
    });
    return out;
}

ConferenceBook::Reaction ConferenceBook::OnMemberJoined(const voice::MemberJoined& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    Conference* c = Find(m.conversation);
    if (c == nullptr) {
        return out;  // not a conference of ours (or one already left)
    }
    Row row{m.nickname, m.userId, ListLetters(m.letters)};
    auto it = std::find_if(c->rows.begin(), c->rows.end(),
                           [&](const Row& r) { return r.userId == m.userId; });
    if (it != c->rows.end()) {
        *it = row;
    } else {
        c->rows.push_back(row);
    }
    if (c->abandoned) {
        return out;
    }
    if (m.userId != ownId_ && !Invited(row.letters)) {
        const Bool32 existing = m.existing != 0 ? 1 : 0;
        out.events.emplace_back([row, existing](SonaroEventSink& sink) {
            sink.UserChange(row.nickname, row.userId, 1, existing);
        });
    }
    ListChanged(m.conversation, out);
    return out;
}

ConferenceBook::Reaction ConferenceBook::OnMemberChanged(const voice::MemberChanged& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    Conference* c = Find(m.conversation);
    if (c == nullptr) {
        return out;
    }
    auto it = std::find_if(c->rows.begin(), c->rows.end(),
                           [&](const Row& r) { return r.userId == m.userId; });
    if (it == c->rows.end()) {
        return out;
    }
    const bool answered = Invited(it->letters) && !Invited(m.letters);
    it->nickname = m.nickname;
    it->letters = ListLetters(m.letters);
    if (c->abandoned) {
        return out;
    }
    if (answered && m.userId != ownId_) {
        const Row row = *it;
        out.events.emplace_back(
            [row](SonaroEventSink& sink) { sink.UserChange(row.nickname, row.userId, 1, 0); });
    }
    ListChanged(m.conversation, out);
    return out;
}

ConferenceBook::Reaction ConferenceBook::OnMemberLeft(const voice::MemberLeft& m) {
    std::lock_guard lock(mutex_);
    Reaction out;
    Conference* c = Find(m.conversation);
    if (c == nullptr) {
        return out;
    }
    auto it = std::find_if(c->rows.begin(), c->rows.end(),
                           [&](const Row& r) { return r.userId == m.userId; });
    if (it == c->rows.end()) {
        return out;
    }
    const Row row = *it;
    c->rows.erase(it);
    if (c->abandoned) {
        return out;
    }
    // The conference stays, with the user alone in it when this was the last other member.
    if (m.userId != ownId_) {
        out.events.emplace_back(
            [row](SonaroEventSink& sink) { sink.UserChange(row.nickname, row.userId, 0, 0); });
    }
    ListChanged(m.conversation, out);
    return out;
}

std::string ConferenceBook::UserList() const {
    std::lock_guard lock(mutex_);
    auto it = conferences_.find(active_);
    if (active_ == 0 || it == conferences_.end()) {
        return {};
    }
    std::string list;
    for (const Row& r : it->second.rows) {
        list += r.nickname + "\t" + r.userId + "\t" + r.letters + "\n";
    }
    return list;
}

bool ConferenceBook::Has(std::int32_t conference) const {
    std::lock_guard lock(mutex_);
    return conferences_.count(conference) != 0;
}

std::int32_t ConferenceBook::Active() const {
    std::lock_guard lock(mutex_);
    return active_;
}

}  // namespace qv::net
