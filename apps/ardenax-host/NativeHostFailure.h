#pragma once

#include <string>

#include "support/Failure.h"
#include "support/Text.h"
#include "web/BrowserIdentity.h"

namespace ardenax::host {

// Why installing or uninstalling the host failed.
inline Failure installFailure(const std::string& why) {
    return {Failure::InvalidProcedureCall, fromUtf8(why), u"ardenax-host"};
}

// The file name of the host's manifest, the same for every browser.
inline std::string manifestName() {
    return std::string(web::NativeHostName) + ".json";
}

}  // namespace ardenax::host
