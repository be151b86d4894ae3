#pragma once

#include <memory>
#include <optional>

#include "support/Environment.h"
#include "support/Text.h"
#include "support/Wait.h"
#include "transport/PARAM.h"
#include "transport/http/Exchange.h"
#include "transport/http/Session.h"

namespace ardenax {

// The system's road to its servers: posts a list of fields as an HTML form
// would be posted from the server's own page, and gives back the answer
// page's body text. One client is one browser profile: its cookies live as
// long as the client, in memory only, and so does its connection to a server,
// so that a voter's later posts need no new TLS handshake. Creating a client
// touches no network. Used by one thread at a time.
class HttpClient {
public:
    // The exchanges run as `wait` has the calling thread wait for them.
    explicit HttpClient(const HttpSettings& settings,
                        std::shared_ptr<Wait> wait = std::make_shared<InlineWait>());

    // A GET of `url` (its answer is not used), then a POST of `params` to it.
    // Never throws: the exchange's failure is the result "ERROR_" + number +
    // "_" + description; so is an HTTP error status, unless the answer itself
    // begins with "ERROR", which is then passed on unchanged.
    Text Post(const ParamList& params, const Text& url);

private:
    Text exchange(const ParamList& params, const Text& url);

    http::Session session_;
    std::optional<http::Exchange> exchange_;
    std::shared_ptr<Wait> wait_;
};

}  // namespace ardenax
