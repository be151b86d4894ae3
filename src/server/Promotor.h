#pragma once

#include <string>
#include <vector>

#include "server/ElectionDatabase.h"
#include "server/FormField.h"

namespace ardenax::server {

// The token server: checks a voter's credentials and new certificate and
// issues a token bound to both.
class Promotor {
public:
    static constexpr std::size_t MaxCertificateLength = std::size_t{16} * 1024;
    static constexpr std::size_t MaxFieldLength = 256;
    static constexpr std::size_t MaxFields = 32;

    explicit Promotor(ElectionDatabase& database) : database_(database) {}

    // The answer to the fields certificate, alg and then the credential pairs:
    // election id; display name; token; potency; election certificate (Base64
    // DER); ballot descriptors (name,slots joined by ##). Or "ERROR " and why.
    std::string answer(const std::vector<FormField>& fields);

private:
    ElectionDatabase& database_;
};

}  // namespace ardenax::server
