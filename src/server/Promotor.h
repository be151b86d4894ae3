#pragma once

#include <optional>
#include <string>
#include <vector>

#include "server/ElectionStore.h"
#include "server/FormField.h"

namespace ardenax::server {

// The token server: checks a voter's credentials and new certificate and
// issues a token bound to both.
class Promotor {
public:
    static constexpr std::size_t MaxCertificateLength = std::size_t{16} * 1024;
    static constexpr std::size_t MaxFieldLength = 256;
    static constexpr std::size_t MaxFields = 32;

    explicit Promotor(ElectionStore& store) : store_(store) {}

    // The answer to the fields certificate, alg and then the credential pairs:
    // election id; display name; token; potency; election certificate (Base64
    // DER); ballot descriptors (name,slots joined by ##). Or "ERROR " and why.
    std::string answer(const std::vector<FormField>& fields);

private:
    // The voter whose credentials are exactly these pairs, in any order:
    // utilizador=<login> and senha=<password>.
    std::optional<VoterRecord> authenticate(const std::vector<FormField>& credentials);

    ElectionStore& store_;
};

}  // namespace ardenax::server
