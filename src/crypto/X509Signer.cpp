#include "crypto/X509Signer.h"

#include "crypto/toolkit/Cms.h"
#include "crypto/toolkit/Encoding.h"
#include "support/Failure.h"

namespace ardenax {

Text X509Signer::Sign(const Text& strDataToSign,
                      const std::shared_ptr<const toolkit::Certificate>& cert) const {
    if (!cert) {
        throw Failure(Failure::NoCertificate, u"No certificate", u"X509Signer");
    }
    return fromUtf8(toolkit::base64Encode(toolkit::signEmbedded(toAnsi(strDataToSign), *cert)));
}

}  // namespace ardenax
