#pragma once

#include "support/Failure.h"

namespace ardenax::toolkit {

// A failure for an OpenSSL operation that did not succeed: number E_FAIL, the
// operation and OpenSSL's own error text as description, source "OpenSSL".
// Drains OpenSSL's error queue so that later operations start clean.
Failure openSslFailure(TextView operation);

}  // namespace ardenax::toolkit
