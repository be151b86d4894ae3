#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ComServer.h"
#include "support/CHandle.h"

namespace ardenax::testing {
namespace {

// Watches the calling thread for dialogs, a message box here: once one has
// set itself up, reads its caption and text and presses its OK button. Given
// an action, it runs it once from a timer of the first box instead, as a
// page's script runs while a box is open, and presses OK after it.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(std::function<void()> whileOpen = {})
        : hook_(::SetWindowsHookExW(WH_CALLWNDPROCRET, &MessageBoxWatcher::onEvent, nullptr,
                                    ::GetCurrentThreadId())),
          whileOpen_(std::move(whileOpen)) {
        current_ = this;
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher() { current_ = nullptr; }

    bool hooked() const { return hook_ != nullptr; }
    int seen = 0;
    std::wstring caption;
    std::wstring text;

private:
    static LRESULT CALLBACK onEvent(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == WM_INITDIALOG && current_ != nullptr) {
            current_->read(message->hwnd);
            if (current_->whileOpen_) {
                ::SetTimer(message->hwnd, 1, 10, &MessageBoxWatcher::onTimer);
            } else {
                ::PostMessageW(message->hwnd, WM_COMMAND, IDOK, 0);
            }
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // Dispatched by the box's own message loop.
    static void CALLBACK onTimer(HWND box, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
        ::KillTimer(box, timer);
        if (current_ != nullptr) {
            std::exchange(current_->whileOpen_, nullptr)();
        }
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }

    void read(HWND box) {
        ++seen;
        std::wstring buffer(1024, L'\0');
        buffer.resize(static_cast<std::size_t>(
            ::GetWindowTextW(box, buffer.data(), static_cast<int>(buffer.size()))));
        caption = buffer;
        buffer.assign(1024, L'\0');
        // 0xFFFF: the static control that shows a message box's text.
        buffer.resize(
            ::GetDlgItemTextW(box, 0xFFFF, buffer.data(), static_cast<int>(buffer.size())));
        text = buffer;
    }

    CHandle<::UnhookWindowsHookEx> hook_;
    std::function<void()> whileOpen_;
    static thread_local MessageBoxWatcher* current_;
};

thread_local MessageBoxWatcher* MessageBoxWatcher::current_ = nullptr;

TEST(MessageBox, AFailureShowsARealModalBoxAndTheCallWaitsForIt) {
    ComServer server;
    auto object = server.create<_VotingX>();
    MessageBoxWatcher watcher;
    ASSERT_TRUE(watcher.hooked());
    com::Bstr credentials(u"utilizador=ana###");
    BSTR argument = credentials.get();
    BSTR raw = nullptr;
    ASSERT_EQ(object->obtainToken(&argument, &raw), S_OK);
    EXPECT_EQ(com::Bstr::adopt(raw).text(), u"");
    EXPECT_EQ(watcher.seen, 1);
    EXPECT_EQ(watcher.caption, L"ArdenaX");
    EXPECT_EQ(watcher.text,
              L"Ocorreu um erro ao obter a autoriza\u00e7\u00e3o para a vota\u00e7\u00e3o!\r\n"
              L"Tente novamente dentro de alguns momentos.\r\n\r\n9\r\nSubscript out of range");
}

// A page's timer fires while the control's box is open, and its script resets
// the control and asks for a token again. The call whose box it was ends on
// the platform it started on; the control goes on with the fresh one.
TEST(MessageBox, AResetFromATimerInTheBoxLeavesTheCallOfTheBoxItsPlatform) {
    ComServer server;
    auto object = server.create<_VotingX>();
    std::vector<Text> inner;
    MessageBoxWatcher watcher([&] {
        inner = {call(object.get(), &_VotingX::resetState),
                 call(object.get(), &_VotingX::obtainToken, u"utilizador=ana###"),
                 call(object.get(), &_VotingX::createPINHash, u"1234")};
    });
    ASSERT_TRUE(watcher.hooked());
    EXPECT_EQ(call(object.get(), &_VotingX::obtainToken, u"utilizador=ana###"), u"");
    EXPECT_EQ(inner, (std::vector<Text>{u"OK", u"", u"cRDtpNCeBiql5KOQsKVyrA0sAiA="}));
    EXPECT_EQ(watcher.seen, 2);
    EXPECT_EQ(call(object.get(), &_VotingX::obtainToken, u"utilizador=ana###"), u"");
    EXPECT_EQ(watcher.seen, 3);
}

}  // namespace
}  // namespace ardenax::testing
