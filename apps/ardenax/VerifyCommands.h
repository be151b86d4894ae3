#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/Settings.h"

namespace ardenax::app {

// The voter's and the observer's checks of the bulletin board, trusting
// neither the board's word nor its server:
// `ardenax verify-receipt`: a receipt's proof of inclusion under a signed head.
int runVerifyReceiptCommand(const std::vector<std::string>& args, Settings& settings,
                            std::ostream& out, std::ostream& err);
// `ardenax verify-board`: every entry, recomputed into the signed head's root.
int runVerifyBoardCommand(const std::vector<std::string>& args, Settings& settings,
                          std::ostream& out, std::ostream& err);

}  // namespace ardenax::app
