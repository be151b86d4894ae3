#pragma once

#include <string_view>

#include "support/Failure.h"

namespace ardenax::server {

// A transaction on `Connection` (anything that can execute(sql)), begun with
// `begin` and rolled back unless committed, so that a failure leaves nothing
// half-written. A rollback that fails, on a connection the server dropped
// (which rolled back already), is let be.
template <class Connection>
class Transaction {
public:
    Transaction(Connection& connection, std::string_view begin) : connection_(connection) {
        connection_.execute(begin);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (!committed_) {
            try {
                connection_.execute("ROLLBACK");
            } catch (const Failure&) {
                // The failure that brought us here is the one that matters.
            }
        }
    }
    void commit() {
        connection_.execute("COMMIT");
        committed_ = true;
    }

private:
    Connection& connection_;
    bool committed_ = false;
};

}  // namespace ardenax::server
