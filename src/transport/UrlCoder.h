#pragma once

#include "support/Text.h"

namespace ardenax {

// Percent-encoding of text for URLs and query strings, over the bytes of the
// single-byte code page. The characters of a URL's structure (: / . ? = & and
// a few more) are left as they are, so a whole URL can be encoded at once.
class UrlCoder {
public:
    static Text URLEncode(const Text& sRawURL);
    // "+" becomes a space; "%" and two hexadecimal digits become that byte's
    // character; a "%" without two hexadecimal digits after it stays as it is.
    static Text URLDecode(const Text& sEncodedURL);
};

}  // namespace ardenax
