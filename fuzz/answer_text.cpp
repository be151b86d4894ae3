// A server's answer bytes, decoded as their Content-Type says, then the body
// taken out of the page.
#include "FuzzInput.h"
#include "transport/ExtractBody.h"
#include "transport/http/AnswerText.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    const auto parts = pieces(input, 2);
    const Text page = http::answerText(parts[1], parts[0]);
    require(ExtractBody(page).size() <= page.size());
}
