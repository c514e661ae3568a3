#include "stores/BlockListFile.h"

#include "stores/FixedRecords.h"

namespace qv {

namespace {

using stores_detail::PutText;
using stores_detail::PutU32;
using stores_detail::RecordReader;

constexpr std::string_view kMagic{"CBLK\0", 5};
constexpr std::size_t kShort = 32;
constexpr std::size_t kLong = 256;

}  // namespace

bool ReadBlockList(std::string_view bytes, BlockListData& data) {
    data = {};
    if (bytes.substr(0, kMagic.size()) != kMagic) {
        return false;
    }
    RecordReader in(bytes.substr(kMagic.size()));
    std::uint32_t version = 0;
    if (!in.U32(version) || (version != 1 && version != 2)) {
        return false;
    }
    if (version == 2 && !in.U32(data.listVersion)) {
        return true;
    }
    std::uint32_t count = 0;
    if (!in.U32(count)) {
        return true;
    }
    const std::size_t size = version == 2 ? kBlockedRecordSize : kBlockedRecordSizeV1;
    for (std::uint32_t i = 0; i < count && in.Has(size); ++i) {
        BlockedUser user;
        in.Text(kShort, user.LoginId);
        in.Text(kShort, user.NickName);
        if (version == 2) {
            in.I32(user.onServer);
        }
        in.Text(kLong, user.text);
        data.users.push_back(std::move(user));
    }
    return true;
}

std::string WriteBlockList(const BlockListData& data) {
    std::string out(kMagic);
    PutU32(out, 2);
    PutU32(out, data.listVersion);
    PutU32(out, static_cast<std::uint32_t>(data.users.size()));
    for (const auto& user : data.users) {
        PutText(out, user.LoginId, kShort);
        PutText(out, user.NickName, kShort);
        PutU32(out, static_cast<std::uint32_t>(user.onServer));
        PutText(out, user.text, kLong);
    }
    return out;
}

std::vector<BlockStore::JournalEntry> ReadBlockJournal(std::string_view bytes) {
    std::vector<BlockStore::JournalEntry> entries;
    RecordReader in(bytes);
    std::uint32_t version = 0;
    std::uint32_t count = 0;
    if (!in.U32(version) || version != 1 || !in.U32(count)) {
        return entries;
    }
    for (std::uint32_t i = 0; i < count && in.Has(kBlockJournalRecordSize); ++i) {
        BlockStore::JournalEntry entry;
        in.I32(entry.operation);
        in.Text(kShort, entry.user.LoginId);
        in.Text(kShort, entry.user.NickName);
        in.I32(entry.user.onServer);
        in.Text(kLong, entry.user.text);
        if (entry.operation == BlockStore::JournalEntry::kBlock ||
            entry.operation == BlockStore::JournalEntry::kUnblock) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::string WriteBlockJournal(const std::vector<BlockStore::JournalEntry>& entries) {
    std::string out;
    PutU32(out, 1);
    PutU32(out, static_cast<std::uint32_t>(entries.size()));
    for (const auto& entry : entries) {
        PutU32(out, static_cast<std::uint32_t>(entry.operation));
        PutText(out, entry.user.LoginId, kShort);
        PutText(out, entry.user.NickName, kShort);
        PutU32(out, static_cast<std::uint32_t>(entry.user.onServer));
        PutText(out, entry.user.text, kLong);
    }
    return out;
}

}  // namespace qv
