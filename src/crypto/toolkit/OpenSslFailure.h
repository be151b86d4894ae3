#pragma once

#include "support/Failure.h"

namespace ardenax::toolkit {

// A failure for an OpenSSL operation that did not succeed: number E_FAIL, the
// operation and OpenSSL's own error text as description, source "OpenSSL".
// Takes every entry of OpenSSL's error queue, oldest first, so that the
// cause is kept and later operations start clean.
Failure openSslFailure(TextView operation);

}  // namespace ardenax::toolkit
