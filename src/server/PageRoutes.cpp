#include "server/PageRoutes.h"

#include "server/PageData.h"
#include "support/Failure.h"

namespace ardenax::server {

void addPageRoutes(HttpsListener& listener, const ElectionStore& store,
                   const std::filesystem::path& webRoot) {
    auto& routes = listener.routes();
    routes.Get("/election.json", [json = electionJson(store.election())](
                                     const httplib::Request&, httplib::Response& response) {
        response.set_content(json, "application/json");
    });
    if (!webRoot.empty() && !routes.set_mount_point("/", webRoot.string())) {
        throw Failure(Failure::E_Fail, u"No such folder: " + fromUtf8(webRoot.string()),
                      u"ReferenceServer");
    }
}

}  // namespace ardenax::server
