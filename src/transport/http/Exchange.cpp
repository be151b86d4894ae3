#include "transport/http/Exchange.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <limits>
#include <string>
#include <utility>

#include <curl/curl.h>

#include "support/Failure.h"
#include "support/Version.h"
#include "transport/http/ReasonPhrase.h"

namespace ardenax::http {
namespace {

constexpr long MaxRedirects = 10;
// Only what a browser would submit a form over: never file:, ftp: and the like.
constexpr const char* Protocols = "http,https";
// A post that started on HTTPS never leaves it: a redirect to http:// would
// send the credentials and the certificate in clear text.
constexpr const char* SecureProtocols = "https";

Failure transferFailure(CURLcode code, std::string_view detail, std::string_view purpose,
                        const std::string& url) {
    std::string description = curl_easy_strerror(code);
    if (!detail.empty()) {
        description.append(": ").append(detail);
    }
    description.append(" (").append(purpose).append(" ").append(url).append(")");
    return {static_cast<std::int32_t>(code), fromUtf8(description), u"HttpClient"};
}

template <class Value>
void setOption(CURL* easy, CURLoption option, Value value) {
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) {
        throw Failure(
            static_cast<std::int32_t>(code),
            u"The HTTP request could not be set up: " + fromUtf8(curl_easy_strerror(code)),
            u"HttpClient");
    }
}

// The answer as it arrives, and whether it outgrew the cap.
struct Reception {
    Response response;
    bool tooLarge = false;
};

// Exceptions must not cross libcurl's C frames: a short count ends the
// transfer with a write error instead. libcurl hands over the body already
// decompressed, so the cap counts what a compressed answer inflates to.
std::size_t keepBody(char* data, std::size_t size, std::size_t count, void* reception) {
    auto& into = *static_cast<Reception*>(reception);
    if (into.response.body.size() + size * count > Exchange::MaxAnswerBytes) {
        into.tooLarge = true;
        return 0;
    }
    try {
        into.response.body.append(data, size * count);
        return size * count;
    } catch (const std::exception&) {
        return 0;
    }
}

// The GET's answer is not used: it is read, so that the connection stays in
// step, and dropped, so that a large page costs no memory.
std::size_t dropBody(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

bool isHttps(std::string_view url) {
    constexpr std::string_view Scheme = "https:";
    return url.size() >= Scheme.size() &&
           std::equal(Scheme.begin(), Scheme.end(), url.begin(), [](char expected, char given) {
               return expected == std::tolower(static_cast<unsigned char>(given));
           });
}

// Keeps the reason phrase of the last status line: after a redirect or an
// interim 100 answer a new one follows.
std::size_t keepReason(char* data, std::size_t size, std::size_t count, void* reception) {
    const std::string_view line(data, size * count);
    if (line.substr(0, 5) != "HTTP/") {
        return size * count;
    }
    try {
        auto& reason = static_cast<Reception*>(reception)->response.reason;
        const auto afterVersion = line.find(' ');
        const auto afterStatus = afterVersion == std::string_view::npos
                                     ? afterVersion
                                     : line.find(' ', afterVersion + 1);
        reason = afterStatus == std::string_view::npos ? std::string()
                                                       : std::string(line.substr(afterStatus + 1));
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
            reason.pop_back();
        }
        return size * count;
    } catch (const std::exception&) {
        return 0;
    }
}

std::string escaped(CURL* easy, const std::string& text) {
    // A length of 0 would make libcurl measure the text up to its first NUL.
    if (text.empty()) {
        return {};
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw Failure(CURLE_BAD_FUNCTION_ARGUMENT, u"A form field is too large to be posted",
                      u"HttpClient");
    }
    const CHandle<curl_free> encoded(
        curl_easy_escape(easy, text.data(), static_cast<int>(text.size())));
    if (!encoded) {
        throw Failure(CURLE_OUT_OF_MEMORY, u"The form could not be encoded", u"HttpClient");
    }
    return static_cast<const char*>(encoded.get());
}

}  // namespace

void releaseEasy(void* easy) {
    curl_easy_cleanup(easy);
}

void releaseList(curl_slist* list) {
    curl_slist_free_all(list);
}

Exchange::Exchange(const Session& session)
    : easy_(curl_easy_init()),
      detail_(CURL_ERROR_SIZE, '\0'),
      requestTimeout_(session.settings().requestTimeout) {
    CURL* easy = easy_.get();
    if (easy == nullptr) {
        throw Failure(CURLE_OUT_OF_MEMORY, u"The HTTP request could not be created", u"HttpClient");
    }
    // A browser sends no Expect header, and a server that ignores one would
    // hold a large post back for a second.
    headers_.reset(curl_slist_append(nullptr, "Expect:"));
    if (!headers_) {
        throw Failure(CURLE_OUT_OF_MEMORY, u"The HTTP request could not be created", u"HttpClient");
    }
    const HttpSettings& settings = session.settings();
    setOption(easy, CURLOPT_ERRORBUFFER, detail_.data());
    setOption(easy, CURLOPT_NOSIGNAL, 1L);
    setOption(easy, CURLOPT_SHARE, session.share());
    // An empty name switches the cookie engine on without reading any file;
    // with no jar file set, nothing is ever written.
    setOption(easy, CURLOPT_COOKIEFILE, "");
    // libcurl keeps its own copy of every text option.
    setOption(easy, CURLOPT_USERAGENT, ("ArdenaX/" + std::string(ProductVersionUtf8)).c_str());
    setOption(easy, CURLOPT_HTTPHEADER, headers_.get());
    // HTTP/1.1 keeps the server's reason phrase, which the error text carries.
    setOption(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    setOption(easy, CURLOPT_ACCEPT_ENCODING, "");
    setOption(easy, CURLOPT_PROTOCOLS_STR, Protocols);
    // libcurl's default turns a POST into a GET after 301, 302 and 303 and
    // keeps it after 307 and 308, as browsers do.
    setOption(easy, CURLOPT_FOLLOWLOCATION, 1L);
    setOption(easy, CURLOPT_MAXREDIRS, MaxRedirects);
    setOption(easy, CURLOPT_AUTOREFERER, 1L);
    setOption(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    setOption(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    setOption(easy, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (!settings.caFile.empty()) {
        // Replaces the default bundle file only; the system's certificate
        // folder (libcurl's CA path) is still searched.
        setOption(easy, CURLOPT_CAINFO, settings.caFile.string().c_str());
    }
    // Where the system keeps its trusted roots in a certificate store rather
    // than in files (Windows), trust that store too; elsewhere libcurl ignores it.
    setOption(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
    setOption(easy, CURLOPT_CONNECTTIMEOUT_MS,
              static_cast<long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(settings.connectTimeout)
                      .count()));
    setOption(easy, CURLOPT_HEADERFUNCTION, &keepReason);
}

Response Exchange::get(const std::string& url) {
    startGet();
    return perform(url, "while loading", Body::Drop);
}

Response Exchange::fetch(const std::string& url) {
    startGet();
    return perform(url, "while reading", Body::Keep);
}

// A page loaded afresh, whatever the handle posted before: no body and no referrer.
void Exchange::startGet() {
    setOption(easy_.get(), CURLOPT_HTTPGET, 1L);
    setOption(easy_.get(), CURLOPT_REFERER, static_cast<const char*>(nullptr));
}

Response Exchange::postForm(const std::string& url, const FormFields& fields) {
    CURL* easy = easy_.get();
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) {
            body += '&';
        }
        body.append(escaped(easy, name)).append("=").append(escaped(easy, value));
    }
    setOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    setOption(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
    // The form was written into the page loaded from `url`.
    setOption(easy, CURLOPT_REFERER, url.c_str());
    return perform(url, "while posting the form to", Body::Keep);
}

Response Exchange::perform(const std::string& url, std::string_view purpose, Body body) {
    CURL* easy = easy_.get();
    if (url.find('\0') != std::string::npos) {
        throw transferFailure(CURLE_URL_MALFORMAT, "the address holds a NUL character", purpose,
                              url.substr(0, url.find('\0')));
    }
    Reception reception;
    Response& response = reception.response;
    setOption(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(requestTimeout_.count()));
    setOption(easy, CURLOPT_REDIR_PROTOCOLS_STR, isHttps(url) ? SecureProtocols : Protocols);
    setOption(easy, CURLOPT_WRITEFUNCTION, body == Body::Keep ? &keepBody : &dropBody);
    setOption(easy, CURLOPT_URL, url.c_str());
    setOption(easy, CURLOPT_WRITEDATA, &reception);
    setOption(easy, CURLOPT_HEADERDATA, &reception);
    detail_.assign(detail_.size(), '\0');
    const CURLcode code = curl_easy_perform(easy);
    if (reception.tooLarge) {
        throw transferFailure(CURLE_FILESIZE_EXCEEDED,
                              "the answer is over " + std::to_string(MaxAnswerBytes) + " bytes",
                              purpose, url);
    }
    if (code != CURLE_OK) {
        throw transferFailure(code, detail_.c_str(), purpose, url);
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &response.status);
    const char* contentType = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK &&
        contentType != nullptr) {
        response.contentType = contentType;
    }
    if (response.reason.empty()) {
        response.reason = standardReason(response.status);
    }
    return std::move(response);
}

}  // namespace ardenax::http
