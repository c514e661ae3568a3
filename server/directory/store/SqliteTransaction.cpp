#include "store/SqliteTransaction.h"

#include "store/SqliteConnection.h"

namespace qv::dirsvc {

SqliteTransaction::SqliteTransaction(SqliteConnection& connection)
    : connection_(connection), started_(connection.Exec("BEGIN IMMEDIATE")) {}

SqliteTransaction::~SqliteTransaction() {
    if (started_ && !done_) {
        connection_.Exec("ROLLBACK");
    }
}

bool SqliteTransaction::Commit() {
    if (!started_ || done_) {
        return false;
    }
    done_ = connection_.Exec("COMMIT");
    return done_;
}

}  // namespace qv::dirsvc
