// Certificate import from text (Base64 DER or PEM) and, through Base64, from
// any DER; what imports exports to the same certificate again.
#include "FuzzInput.h"
#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/Encoding.h"
#include "support/Failure.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    if (input.empty()) {
        return;
    }
    const std::string text =
        input[0] == 'D' ? toolkit::base64Encode(input.substr(1)) : std::string(input.substr(1));
    try {
        const auto certificate = toolkit::Certificate::import(text);
        require(toolkit::Certificate::import(certificate.exportBase64()).der() ==
                certificate.der());
    } catch (const Failure&) {
        return;
    }
}
