#pragma once

#include <filesystem>

#include "support/Failure.h"

namespace ardenax::toolkit {

// A store file operation that failed: `what` names it, `detail` is the
// system's text for the error.
inline Failure storeFileFailure(TextView what, const std::filesystem::path& path,
                                const std::string& detail) {
    return {Failure::E_Fail, Text(what) + path.u16string() + u": " + fromUtf8(detail),
            u"CertificateStore"};
}

}  // namespace ardenax::toolkit
