#pragma once

#include <filesystem>
#include <memory>
#include <utility>

#include "server/ReferenceServer.h"
#include "support/Environment.h"

namespace ardenax::testing {

// The settings of a control that votes through `server` on loopback: the
// server's CA file is written into `home`, and the store lies below it.
inline Environment serverEnvironment(const server::ReferenceServer& server,
                                     const std::filesystem::path& home,
                                     std::shared_ptr<MessageBox> boxes) {
    server.writeCaFile(home / "ca.pem");
    Environment environment;
    environment.messageBox = std::move(boxes);
    environment.storeRoot = home / "stores";
    environment.documentsDir = home;
    environment.http.caFile = home / "ca.pem";
    environment.promotorUrl = fromUtf8(server.promotorUrl());
    environment.smvUrl = fromUtf8(server.smvUrl());
    return environment;
}

}  // namespace ardenax::testing
