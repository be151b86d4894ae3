#pragma once

#include <filesystem>

#include "server/ElectionStore.h"
#include "server/HttpsListener.h"

namespace ardenax::server {

// What a voting page reads from its own origin: /election.json (the cards and
// their candidates) and, when a folder is given, the page's files at "/".
// Nothing per voter and nothing of a vote.
void addPageRoutes(HttpsListener& listener, const ElectionStore& store,
                   const std::filesystem::path& webRoot);

}  // namespace ardenax::server
