#include "transport/HttpClient.h"

#include <exception>
#include <string>
#include <utility>

#include "support/Failure.h"
#include "support/ResultTexts.h"
#include "transport/ExtractBody.h"
#include "transport/http/AnswerText.h"
#include "transport/http/Exchange.h"

namespace ardenax {
HttpClient::HttpClient(const HttpSettings& settings, std::shared_ptr<Wait> wait)
    : session_(settings), wait_(std::move(wait)) {}

Text HttpClient::Post(const ParamList& params, const Text& url) {
    Text answer;
    try {
        wait_->forWork([&] { answer = exchange(params, url); });
    } catch (const std::exception& error) {
        // Only the wait itself can fail here (no thread for the exchange).
        const Failure failure = Failure::from(error);
        return results::transportFailure(failure.number(), failure.description());
    }
    return answer;
}

Text HttpClient::exchange(const ParamList& params, const Text& url) {
    try {
        const std::string target = toUtf8(url);
        // Made at the first post, so that making a client touches nothing and
        // its failure is the post's; then kept, and its connection with it.
        if (!exchange_) {
            exchange_.emplace(session_);
        }
        http::Exchange& exchange = *exchange_;
        // Only the page's loading matters here, not what it says: the form is
        // posted whatever status the server gave it.
        exchange.get(target);

        http::FormFields fields;
        fields.reserve(params.size());
        for (const PARAM& param : params) {
            fields.emplace_back(toUtf8(param.crdName), toUtf8(param.crdValue));
        }
        const http::Response answer = exchange.postForm(target, fields);
        Text body = ExtractBody(http::answerText(answer.body, answer.contentType));
        // An error page is not the server's answer: taking its body would pass
        // a refused submission off as an accepted one. A server that states
        // its refusal itself is passed on as it wrote it.
        if (answer.status >= 400 && !isErrorText(body)) {
            return results::transportFailure(answer.status, http::answerText(answer.reason, {}));
        }
        return body;
    } catch (const Failure& failure) {
        return results::transportFailure(failure.number(), failure.description());
    } catch (const std::exception& failure) {
        return results::transportFailure(Failure::E_Fail, fromUtf8(failure.what()));
    }
}

}  // namespace ardenax
