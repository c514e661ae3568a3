#include "stores/AddressBookFile.h"

#include <charconv>

#include "stores/FixedRecords.h"

namespace qv {

namespace {

using stores_detail::PutText;
using stores_detail::PutU32;
using stores_detail::RecordReader;

constexpr std::size_t kField = 64;
constexpr std::uint32_t kCurrentVersion = 5;

// The version-5 order of the text fields; version 3 stops before Comment, version 2 after four.
template <typename Profile>
auto* Field(Profile& p, int index) {
    using Text = decltype(&p.FirstName);
    switch (index) {
        case 0:
            return &p.FirstName;
        case 1:
            return &p.LastName;
        case 2:
            return &p.NickName;
        case 3:
            return &p.Company;
        case 4:
            return &p.Address1;
        case 5:
            return &p.Address2;
        case 6:
            return &p.City;
        case 7:
            return &p.State;
        case 8:
            return &p.Zip;
        case 9:
            return &p.Country;
        case 10:
            return &p.Email1;
        case 11:
            return &p.TeleHome;
        case 12:
            return &p.TeleOffice;
        case 13:
            return &p.Fax;
        case 14:
            return &p.Cell;
        case 15:
            return &p.Pager;
        case 16:
            return &p.HomePage;
        case 17:
            return &p.group;
        case 18:
            return &p.Comment;
        default:
            return static_cast<Text>(nullptr);
    }
}

const std::string& FieldOf(const UserProfile& p, int index) {
    return *Field(p, index);
}

int FieldCount(std::uint32_t version) {
    switch (version) {
        case 2:
            return 4;
        case 3:
            return 18;
        default:
            return 19;
    }
}

std::uint32_t IdNumber(const std::string& id) {
    std::uint32_t value = 0;
    std::from_chars(id.data(), id.data() + id.size(), value);
    return value;
}

}  // namespace

AddressBookRead ReadAddressBook(std::string_view bytes, AddressBookData& data) {
    data = {};
    RecordReader in(bytes);
    std::uint32_t version = 0;
    if (!in.U32(version) || version < 1 || version > kCurrentVersion) {
        return AddressBookRead::Refused;
    }
    if (version == 1) {
        return AddressBookRead::Empty;
    }
    if (version == kCurrentVersion && !in.U32(data.listVersion)) {
        return AddressBookRead::Truncated;
    }
    std::uint32_t groups = 0;
    if (!in.U32(groups)) {
        return AddressBookRead::Truncated;
    }
    const std::size_t groupSize = version == kCurrentVersion ? 4 + kField : kField;
    for (std::uint32_t i = 0; i < groups; ++i) {
        if (!in.Has(groupSize)) {
            return AddressBookRead::Truncated;
        }
        AddressBookData::Group group;
        if (version == kCurrentVersion) {
            in.I32(group.onServer);
        }
        in.Text(kField, group.name);
        data.groups.push_back(std::move(group));
    }
    const int fields = FieldCount(version);
    const std::size_t recordSize =
        (version == kCurrentVersion ? 12 : 8) + static_cast<std::size_t>(fields) * kField;
    while (in.Remaining() > 0) {
        if (!in.Has(recordSize)) {
            return AddressBookRead::Truncated;
        }
        UserProfile contact;
        contact.state = 1;
        std::uint32_t id = 0;
        in.I32(contact.storedValue);
        if (version == kCurrentVersion) {
            in.I32(contact.onServer);
        }
        in.U32(id);
        contact.LoginId = std::to_string(id);
        for (int f = 0; f < fields; ++f) {
            in.Text(kField, *Field(contact, f));
        }
        data.contacts.push_back(std::move(contact));
    }
    return AddressBookRead::Read;
}

std::string WriteAddressBook(const AddressBookData& data) {
    std::string out;
    out.reserve(12 + data.groups.size() * 68 + data.contacts.size() * kContactRecordSize);
    PutU32(out, kCurrentVersion);
    PutU32(out, data.listVersion);
    PutU32(out, static_cast<std::uint32_t>(data.groups.size()));
    for (const auto& group : data.groups) {
        PutU32(out, static_cast<std::uint32_t>(group.onServer));
        PutText(out, group.name, kField);
    }
    for (const auto& contact : data.contacts) {
        PutU32(out, static_cast<std::uint32_t>(contact.storedValue));
        PutU32(out, static_cast<std::uint32_t>(contact.onServer));
        PutU32(out, IdNumber(contact.LoginId));
        for (int f = 0; f < 19; ++f) {
            PutText(out, FieldOf(contact, f), kField);
        }
    }
    return out;
}

std::vector<PendingChange> ReadContactJournal(std::string_view bytes) {
    std::vector<PendingChange> changes;
    RecordReader in(bytes);
    std::uint32_t version = 0;
    std::uint32_t count = 0;
    if (!in.U32(version) || version != 1 || !in.U32(count)) {
        return changes;
    }
    for (std::uint32_t i = 0; i < count && in.Has(kPendingChangeSize); ++i) {
        PendingChange change;
        in.I32(change.kind);
        in.I32(change.operation);
        in.Text(kField, change.loginId);
        in.Text(kField, change.nickName);
        in.Text(kField, change.group);
        changes.push_back(std::move(change));
    }
    return changes;
}

std::string WriteContactJournal(const std::vector<PendingChange>& changes) {
    std::string out;
    PutU32(out, 1);
    PutU32(out, static_cast<std::uint32_t>(changes.size()));
    for (const auto& change : changes) {
        PutU32(out, static_cast<std::uint32_t>(change.kind));
        PutU32(out, static_cast<std::uint32_t>(change.operation));
        PutText(out, change.loginId, kField);
        PutText(out, change.nickName, kField);
        PutText(out, change.group, kField);
    }
    return out;
}

}  // namespace qv
