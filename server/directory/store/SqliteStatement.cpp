#include "store/SqliteStatement.h"

#include <sqlite3.h>

namespace qv::dirsvc {

SqliteStatement::~SqliteStatement() {
    if (statement_ != nullptr) {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
    if (statement_ == nullptr || sqlite3_bind_text64(statement_, index, text.data(), text.size(),
                                                     SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
    if (statement_ == nullptr || sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, std::string_view bytes) {
    if (statement_ == nullptr || sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(),
                                                     SQLITE_TRANSIENT) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index) {
    if (statement_ == nullptr || sqlite3_bind_null(statement_, index) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

SqliteStatement::Step SqliteStatement::Next() {
    if (statement_ == nullptr || bindFailed_) {
        return Step::kError;
    }
    switch (sqlite3_step(statement_)) {
        case SQLITE_ROW:
            return Step::kRow;
        case SQLITE_DONE:
            return Step::kDone;
        default:
            return Step::kError;
    }
}

std::int64_t SqliteStatement::Int(int column) const {
    return statement_ == nullptr ? 0 : sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::Text(int column) const {
    if (statement_ == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<size_t>(size));
}

bool SqliteStatement::IsNull(int column) const {
    return statement_ == nullptr || sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

}  // namespace qv::dirsvc
