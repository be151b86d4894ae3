#include "transport/ExtractBody.h"

#include "support/Split.h"

namespace ardenax {
namespace {

// One left-to-right pass, like the run-time's Replace: text that a
// replacement brings together is not looked at again.
Text replaceAll(TextView text, TextView from, TextView to) {
    Text out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (auto at = text.find(from); at != TextView::npos; at = text.find(from, start)) {
        out.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    return out.append(text.substr(start));
}

}  // namespace

Text ExtractBody(const Text& markup) {
    Text page = markup;
    for (const TextView pre : {u"<PRE>", u"</PRE>", u"<pre>", u"</pre>"}) {
        page = replaceAll(page, pre, u"");
    }
    page = replaceAll(page, u"<body>", u"<BODY>");
    page = replaceAll(page, u"</body>", u"</BODY>");

    const auto afterStart = split(page, u"<BODY>", LetterCase::Exact);
    if (afterStart.size() < 2) {
        return markup;
    }
    // An empty piece splits into no pieces at all, so there is no answer in it.
    const auto beforeEnd = split(afterStart[1], u"</BODY>", LetterCase::Exact);
    if (beforeEnd.empty()) {
        return markup;
    }
    return beforeEnd.front();
}

}  // namespace ardenax
