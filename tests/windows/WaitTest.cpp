// The control in a page's apartment, against a vote server that takes 2 s to
// answer (ardenax serve --slow-votes 2, whose addresses the ARDENAX_*
// variables give; slow-vote.sh runs this).
#include <gtest/gtest.h>

#include "ComServer.h"

namespace ardenax::testing {
namespace {

// A page's timer on this thread: it counts its ticks, and reads the control
// as a page's script would meanwhile.
class PageTimer {
public:
    explicit PageTimer(_VotingX* control)
        : control_(control), timer_(::SetTimer(nullptr, 0, 50, &PageTimer::onTick)) {
        current_ = this;
    }
    PageTimer(const PageTimer&) = delete;
    PageTimer& operator=(const PageTimer&) = delete;
    ~PageTimer() {
        ::KillTimer(nullptr, timer_);
        current_ = nullptr;
    }

    int ticks = 0;
    Text tokenSeen;

private:
    static void CALLBACK onTick(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/,
                                DWORD /*time*/) {
        if (current_ != nullptr) {
            ++current_->ticks;
            current_->tokenSeen = call(current_->control_, &_VotingX::getCurrentToken);
        }
    }

    _VotingX* control_;
    UINT_PTR timer_;
    static thread_local PageTimer* current_;
};

thread_local PageTimer* PageTimer::current_ = nullptr;

// While the vote waits for the SMV, the thread dispatches its messages: the
// page's timer goes on, its script can read the control, and the vote ends as
// it would have without them.
TEST(Waits, APageTimerKeepsFiringWhileTheVoteWaitsForTheServer) {
    ComServer server;
    auto object = server.create<_VotingX>();
    _VotingX* control = object.get();
    const Text token = call(control, &_VotingX::obtainToken, u"utilizador=eleitor3###senha=demo3");
    ASSERT_EQ(token.size(), 32U);
    ASSERT_EQ(
        call(control, &_VotingX::setChoice, u"BOT_Presidente", u"Presidente", u"Rita Fonseca"),
        u"OK");
    com::Bstr pin(u"2468");
    BSTR pinSlot = pin.get();
    Var hash;
    ASSERT_EQ(control->setPINHash(&pinSlot, &hash), S_OK);
    Text confirmation;
    int ticks = 0;
    Text tokenSeen;
    {
        PageTimer timer(control);
        confirmation = call(control, &_VotingX::getConfirmationText);
        ticks = timer.ticks;
        tokenSeen = timer.tokenSeen;
    }
    EXPECT_EQ(confirmation,
              u"Tem a certeza que pretende votar da seguinte forma ?\r\n\r\nPresidente\r\n"
              u"\tRita Fonseca\r\n");
    // 2 s of a 50 ms timer is 40 ticks; a thread that blocked would see none.
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(tokenSeen, token);
}

}  // namespace
}  // namespace ardenax::testing
