#pragma once

#include "crypto/toolkit/Certificate.h"
#include "server/ElectionStore.h"
#include "server/HttpsListener.h"

namespace ardenax::server {

// The bulletin board, read by anyone: under /smv/board/, the head signed by
// `boardKey` ("head"), the key's certificate ("certificate"), the leaves
// ("entries?start=i&end=j"), a receipt's audit path ("proof?receipt=X&size=n")
// and the proof that one head's tree starts the other's
// ("consistency?first=m&second=n"). JSON, 32-byte values in base64url;
// errors are {"error": why} with status 400, or 404 for a receipt that is
// not there. Any page may read them (verifiers run elsewhere).
void addBoardRoutes(HttpsListener& listener, ElectionStore& store,
                    const toolkit::Certificate& boardKey);

}  // namespace ardenax::server
