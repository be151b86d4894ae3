#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/DispatchTable.h"
#include "control/VotingX.h"
#include "server/ReferenceServer.h"

namespace ardenax::testing {

// A control driven through the dispatch table against the reference Promotor
// and SMV over HTTPS on loopback, with a fresh demo election and store.
class VotingRoadFixture : public ::testing::Test {
protected:
    static constexpr TextView Credentials = u"utilizador=eleitor1###senha=demo1";

    VotingRoadFixture() {
        server.writeCaFile(home.path() / "ca.pem");
        Environment env;
        env.messageBox = boxes;
        env.storeRoot = home.path() / "stores";
        env.documentsDir = home.path();
        env.http.caFile = home.path() / "ca.pem";
        env.http.connectTimeout = std::chrono::seconds(10);
        env.http.totalTimeout = std::chrono::seconds(30);
        env.promotorUrl = fromUtf8(server.promotorUrl());
        env.smvUrl = fromUtf8(server.smvUrl());
        control = std::make_unique<VotingX>(env);
    }

    Text call(TextView method, const std::vector<Text>& args = {}) {
        return DispatchTable::invoke(*control, DispatchTable::find(method), args).toText();
    }

    // Token, the three demo cards (one slot of the second left blank) and a PIN.
    Text prepareVote() {
        Text token = call(u"obtainToken", {Text(Credentials)});
        EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"Maria Pereira"}), u"OK");
        EXPECT_EQ(call(u"setChoice", {u"BOT_Assembleia", u"Assembleia", u"Lista A###Lista B"}),
                  u"OK");
        EXPECT_EQ(call(u"setChoice", {u"BOT_Referendo", u"Referendo", u"Sim###Não"}), u"OK");
        call(u"setPINHash", {u"1234"});
        return token;
    }

    TempDir home;
    std::shared_ptr<RecordingMessageBox> boxes = std::make_shared<RecordingMessageBox>();
    server::ReferenceServer server{{.database = home.path() / "election.db", .recordForms = true}};
    std::unique_ptr<VotingX> control;
};

}  // namespace ardenax::testing
