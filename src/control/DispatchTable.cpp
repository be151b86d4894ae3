#include "control/DispatchTable.h"

#include <algorithm>

#include "support/Failure.h"

namespace ardenax {
namespace {

using Args = std::vector<Text>;
using Kind = DispatchTable::ResultKind;
constexpr std::int32_t kFirst = DispatchTable::FirstDispid;

constexpr std::array<DispatchTable::Method, 9> kMethods = {{
    {u"obtainToken", kFirst + 0, 1, Kind::TextValue,
     [](VotingX& x, const Args& a) { return Variant(x.obtainToken(a[0])); }},
    {u"getCurrentToken", kFirst + 1, 0, Kind::TextValue,
     [](VotingX& x, const Args&) { return Variant(x.getCurrentToken()); }},
    {u"setChoice", kFirst + 2, 3, Kind::TextValue,
     [](VotingX& x, const Args& a) { return Variant(x.setChoice(a[0], a[1], a[2])); }},
    {u"getConfirmationText", kFirst + 3, 0, Kind::TextValue,
     [](VotingX& x, const Args&) { return Variant(x.getConfirmationText()); }},
    {u"createPINHash", kFirst + 4, 1, Kind::TextValue,
     [](VotingX& x, const Args& a) { return Variant(x.createPINHash(a[0])); }},
    {u"setPINHash", kFirst + 5, 1, Kind::VariantValue,
     [](VotingX& x, const Args& a) { return x.setPINHash(a[0]); }},
    {u"getCurrentPINHash", kFirst + 6, 0, Kind::TextValue,
     [](VotingX& x, const Args&) { return Variant(x.getCurrentPINHash()); }},
    {u"getVersion", kFirst + 7, 0, Kind::TextValue,
     [](VotingX& x, const Args&) { return Variant(x.getVersion()); }},
    {u"resetState", kFirst + 8, 0, Kind::TextValue,
     [](VotingX& x, const Args&) { return Variant(x.resetState()); }},
}};

bool sameNameIgnoringCase(TextView a, TextView b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

}  // namespace

const std::array<DispatchTable::Method, 9>& DispatchTable::methods() {
    return kMethods;
}

const DispatchTable::Method& DispatchTable::find(TextView name) {
    const auto* found = std::find_if(kMethods.begin(), kMethods.end(), [&](const Method& m) {
        return sameNameIgnoringCase(m.name, name);
    });
    if (found == kMethods.end()) {
        throw Failure(Failure::DispUnknownName,
                      standardDescription(Failure::DispUnknownName) + u" " + Text(name),
                      u"VotingX");
    }
    return *found;
}

const DispatchTable::Method& DispatchTable::find(std::int32_t dispid) {
    const auto* found = std::find_if(kMethods.begin(), kMethods.end(),
                                     [&](const Method& m) { return m.dispid == dispid; });
    if (found == kMethods.end()) {
        throw Failure(Failure::DispMemberNotFound, standardDescription(Failure::DispMemberNotFound),
                      u"VotingX");
    }
    return *found;
}

Variant DispatchTable::invoke(VotingX& control, const Method& method,
                              const std::vector<Text>& args) {
    if (args.size() != method.argCount) {
        throw Failure(Failure::DispBadParamCount, standardDescription(Failure::DispBadParamCount),
                      u"VotingX");
    }
    return method.call(control, args);
}

}  // namespace ardenax
