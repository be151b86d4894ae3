#pragma once

#include "server/ElectionRecords.h"

namespace ardenax::server {

// Raises a failure naming the first thing in `setup` that would break the
// servers' answers or the vote: a name with a character that a separator or
// the page uses, a card without slots or of a name the client cannot write,
// a login given twice.
void requireSound(const ElectionSetup& setup);

}  // namespace ardenax::server
