#pragma once

#include <string>
#include <string_view>

namespace ardenax::toolkit {

// Passwords as a server keeps them: PBKDF2-HMAC-SHA256 over the password with
// a random 16-byte salt of its own, written "pbkdf2-sha256$<iterations>$<salt>$<hash>"
// (Base64), so that the cost of each stored hash is known when it is checked.
class PasswordHash {
public:
    // What a real election's voters get: OWASP's figure for PBKDF2-HMAC-SHA256.
    static constexpr unsigned StrongIterations = 600000;

    // A new salted hash of `password`.
    static std::string make(std::string_view password, unsigned iterations = StrongIterations);
    // Whether `password` is the one `stored` was made from; false for a text
    // that is no stored hash. Compares in constant time.
    static bool matches(std::string_view password, std::string_view stored);
};

}  // namespace ardenax::toolkit
