#pragma once

#include <cstdint>
#include <string>

#include "support/CHandle.h"

struct pg_result;

namespace ardenax::server {

// Frees a result, where libpq's header is included.
void clearResult(pg_result* result);

// The rows a PostgreSQL statement gave back, read as text.
class PgResult {
public:
    explicit PgResult(pg_result* result);

    int rows() const;
    // Rows and columns are numbered from 0; NULL reads as "".
    std::string text(int row, int column) const;
    std::int64_t integer(int row, int column) const;

private:
    CHandle<clearResult> result_;
};

}  // namespace ardenax::server
