#include "server/PgResult.h"

#include <libpq-fe.h>

#include "support/Failure.h"

namespace ardenax::server {

void clearResult(pg_result* result) {
    PQclear(result);
}

PgResult::PgResult(pg_result* result) : result_(result) {}

int PgResult::rows() const {
    return PQntuples(result_.get());
}

std::string PgResult::text(int row, int column) const {
    const char* value = PQgetvalue(result_.get(), row, column);
    return {value, static_cast<std::size_t>(PQgetlength(result_.get(), row, column))};
}

std::int64_t PgResult::integer(int row, int column) const {
    const auto value = text(row, column);
    try {
        return std::stoll(value);
    } catch (const std::logic_error&) {
        throw Failure(Failure::E_Fail, u"Not a number: " + fromUtf8(value), u"PostgreSQL");
    }
}

}  // namespace ardenax::server
