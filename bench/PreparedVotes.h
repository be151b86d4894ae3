#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "LoadElection.h"

namespace ardenax::bench {

// `count` votes sealed for `election` and signed with the client's
// certificate, each as the form body the client posts to the SMV. They take
// the voters' tokens in turn, so a voter votes again and again (the last
// vote counts), and each has a Random of its own, so that none is another's
// replay. Made on every core, before the load, so that sealing costs the
// load nothing.
std::vector<std::string> prepareVotes(const LoadElection& election, std::size_t count);

}  // namespace ardenax::bench
