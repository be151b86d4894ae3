// The reference servers' reading of a posted form.
#include "FuzzInput.h"
#include "server/FormBody.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    if (const auto fields = server::parseFormBody(input)) {
        require(fields->size() <= input.size());
    }
}
