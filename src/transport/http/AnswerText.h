#pragma once

#include <string_view>

#include "support/Text.h"

namespace ardenax::http {

// The text of an answer's bytes, read in the charset that `contentType`
// declares (UTF-8, ISO-8859-1, Windows-1252 or US-ASCII; the last three read as
// Windows-1252, as browsers do). Without a declaration, or with one of another
// charset, the bytes are read as UTF-8 when they are valid UTF-8 and as
// Windows-1252 otherwise. A UTF-8 byte order mark is not part of the text.
Text answerText(std::string_view bytes, std::string_view contentType);

}  // namespace ardenax::http
