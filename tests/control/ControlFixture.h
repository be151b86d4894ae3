#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "common/RecordingMessageBox.h"
#include "control/FakePlatform.h"
#include "control/VotingX.h"

namespace ardenax::testing {

// A control over scripted fake platforms, with a recording message box.
class ControlFixture : public ::testing::Test {
protected:
    Environment environment() const {
        Environment env;
        env.messageBox = boxes;
        env.promotorUrl = u"https://127.0.0.1:1/promotor/obtaintoken";
        env.smvUrl = u"https://127.0.0.1:1/smv/votesetter";
        return env;
    }
    VotingX::PlatformFactory fakes() const {
        return [script = script](const Environment&) {
            return std::make_unique<FakePlatform>(script);
        };
    }

    std::shared_ptr<RecordingMessageBox> boxes = std::make_shared<RecordingMessageBox>();
    std::shared_ptr<FakePlatform::Script> script = std::make_shared<FakePlatform::Script>();
};

}  // namespace ardenax::testing
