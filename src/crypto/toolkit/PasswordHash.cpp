#include "crypto/toolkit/PasswordHash.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslFailure.h"
#include "crypto/toolkit/Random.h"
#include "support/Failure.h"

namespace ardenax::toolkit {
namespace {

constexpr std::string_view Scheme = "pbkdf2-sha256";
constexpr std::size_t SaltBytes = 16;
constexpr std::size_t HashBytes = 32;
// Far above any cost a server accepts, so that a forged stored hash cannot
// make one check run for hours.
constexpr unsigned MaxIterations = 10000000;

Bytes derive(std::string_view password, std::string_view salt, unsigned iterations) {
    Bytes hash(HashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()),
                          static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                          static_cast<int>(hash.size()),
                          reinterpret_cast<unsigned char*>(hash.data())) != 1) {
        throw openSslFailure(u"Password hash");
    }
    return hash;
}

struct StoredHash {
    unsigned iterations = 0;
    Bytes salt;
    Bytes hash;
};

std::optional<StoredHash> parse(std::string_view stored) {
    // Scheme, iterations, salt, hash: three separators, no more.
    if (std::count(stored.begin(), stored.end(), '$') != 3) {
        return std::nullopt;
    }
    const auto next = [&stored]() {
        const auto dollar = stored.find('$');
        const auto piece = stored.substr(0, dollar);
        stored.remove_prefix(dollar == std::string_view::npos ? stored.size() : dollar + 1);
        return piece;
    };
    if (next() != Scheme) {
        return std::nullopt;
    }
    StoredHash parsed;
    const auto count = next();
    const auto [end, error] =
        std::from_chars(count.data(), count.data() + count.size(), parsed.iterations);
    if (error != std::errc{} || end != count.data() + count.size() || parsed.iterations == 0 ||
        parsed.iterations > MaxIterations) {
        return std::nullopt;
    }
    try {
        parsed.salt = base64Decode(next());
        parsed.hash = base64Decode(next());
    } catch (const Failure&) {
        return std::nullopt;
    }
    if (parsed.salt.empty() || parsed.hash.size() != HashBytes) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

std::string PasswordHash::make(std::string_view password, unsigned iterations) {
    if (iterations == 0 || iterations > MaxIterations) {
        throw Failure(Failure::InvalidProcedureCall, u"No such cost of a password hash",
                      u"PasswordHash");
    }
    const Bytes salt = randomBytes(SaltBytes);
    return std::string(Scheme) + "$" + std::to_string(iterations) + "$" + base64Encode(salt) + "$" +
           base64Encode(derive(password, salt, iterations));
}

bool PasswordHash::matches(std::string_view password, std::string_view stored) {
    const auto parsed = parse(stored);
    if (!parsed) {
        return false;
    }
    const Bytes hash = derive(password, parsed->salt, parsed->iterations);
    return CRYPTO_memcmp(hash.data(), parsed->hash.data(), HashBytes) == 0;
}

}  // namespace ardenax::toolkit
