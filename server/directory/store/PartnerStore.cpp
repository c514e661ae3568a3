#include "store/PartnerStore.h"

#include "store/Database.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

// Reads one integer from a one-row query.
StoreStatus ReadInt(SqliteStatement& statement, std::int64_t& value) {
    switch (statement.Next()) {
        case Step::kRow:
            value = statement.Int(0);
            return StoreStatus::kOk;
        case Step::kDone:
            return StoreStatus::kNotFound;
        case Step::kError:
            break;
    }
    return StoreStatus::kError;
}

}  // namespace

StoreStatus PartnerStore::Params(std::int64_t partnerId, PartnerParams& params) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    PartnerParams found;
    {
        auto version =
            connection->Prepare("SELECT version FROM partner_params WHERE partner_id = ?1");
        version.Bind(1, partnerId);
        const StoreStatus status = ReadInt(version, found.version);
        if (status != StoreStatus::kOk) {
            return status;
        }
    }
    auto values = connection->Prepare(
        "SELECT key, value FROM partner_param_values WHERE partner_id = ?1 ORDER BY position");
    values.Bind(1, partnerId);
    for (;;) {
        const Step step = values.Next();
        if (step == Step::kDone) {
            break;
        }
        if (step == Step::kError) {
            return StoreStatus::kError;
        }
        found.values.emplace_back(values.Text(0), values.Text(1));
    }
    params = std::move(found);
    return StoreStatus::kOk;
}

StoreStatus PartnerStore::ParamsVersion(std::int64_t partnerId, std::int64_t& version) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select = connection->Prepare("SELECT version FROM partner_params WHERE partner_id = ?1");
    select.Bind(1, partnerId);
    return ReadInt(select, version);
}

StoreStatus PartnerStore::PartnerListVersion(std::int64_t& version) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select =
        connection->Prepare("SELECT value FROM service_state WHERE key = 'partner_list_ver'");
    return ReadInt(select, version);
}

}  // namespace qv::dirsvc
