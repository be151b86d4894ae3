// The Promotor's answer with its ballot descriptors and slot counts, then a
// voter's choices against the cards it named.
#include "FuzzInput.h"
#include "common/RecordingMessageBox.h"
#include "platform/XMLP7VotingPlat.h"
#include "support/Failure.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    static XMLP7VotingPlat platform{[] {
        Environment environment;
        environment.messageBox = std::make_shared<testing::RecordingMessageBox>();
        return environment;
    }()};
    static const bool configured = [] {
        platform.ParamSeparator(u"###");
        platform.PromotorResSeparator(u";");
        platform.NVoteBullSeparator(u"##");
        platform.NVoteBTupleSeparator(u",");
        return true;
    }();
    require(configured);
    const auto parts = pieces(input, 3);
    try {
        if (platform.acceptPromotorAnswer(fromUtf8(parts[0]))) {
            const Text result = platform.setChoice(fromUtf8(parts[1]), u"D", fromUtf8(parts[2]));
            require(result == u"OK" || result == u"ERROR setting choices" || result == u"ERROR51");
        }
    } catch (const Failure& failure) {
        // The failures the descriptors may raise, and no others.
        const auto n = failure.number();
        require(n == Failure::SubscriptOutOfRange || n == Failure::TypeMismatch ||
                n == Failure::Overflow || n == Failure::NoBullOptions);
    }
}
