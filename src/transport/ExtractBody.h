#pragma once

#include "support/Text.h"

namespace ardenax {

// The answer text of a server's page: what lies between the first <BODY> and
// the next </BODY>, after <PRE> and </PRE> (upper or lower case) are removed
// and a lower-case <body> and </body> are taken as upper case. Every other
// spelling (mixed case, attributes) is not a body tag. A page without a body,
// or whose first <BODY> ends the text or is followed by another <BODY>, is
// taken whole, as it came. Nothing else is changed: no trimming, no decoding.
Text ExtractBody(const Text& markup);

}  // namespace ardenax
