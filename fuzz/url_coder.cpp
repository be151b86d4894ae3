// URL decoding of any text, and encoding then decoding of any text of the
// single-byte code page, which must give it back.
#include "FuzzInput.h"
#include "transport/UrlCoder.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    UrlCoder::URLDecode(utf16(input));
    Text text;
    for (const char16_t c : fromAnsi(input)) {
        if (isAnsi(c)) {
            text += c;
        }
    }
    require(UrlCoder::URLDecode(UrlCoder::URLEncode(text)) == text);
}
