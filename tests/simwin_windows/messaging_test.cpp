// Messages across UI threads: blocking sends, notify messages, ended threads.
#include <atomic>
#include <future>

#include "platform/windows.h"
#include "simwin/ui_thread.h"
#include "windows_fixture.h"

namespace simwin::testing {
namespace {

namespace platform = vorelle::platform;

constexpr std::uint32_t kAsk = 0x8001;  // an application message: answers lParam + 1

class MessagingTest : public WindowsTest {
protected:
    // A window on `thread` that answers kAsk and records the thread that handled it.
    Hwnd AnsweringWindow(UiThread& thread) {
        WindowSpec setup;
        setup.className = u"Answerer";
        setup.procedure = [this](const Message& message) -> std::intptr_t {
            handledOn_ = std::this_thread::get_id();
            ++handled_;
            return message.message == kAsk ? message.lParam + 1 : 0;
        };
        return thread.CreateWindow(setup);
    }

    std::atomic<std::thread::id> handledOn_{};
    std::atomic<int> handled_{0};
};

TEST_F(MessagingTest, SendMessageIsHandledOnTheWindowsThreadAndWaitsForIt) {
    UiThread ui;
    Hwnd window = AnsweringWindow(ui);
    ASSERT_NE(window, 0u);

    EXPECT_EQ(platform::SendWindowMessage(window, kAsk, 0, 41, 5000), 42);
    EXPECT_EQ(handledOn_.load(), ui.Id());

    ui.Hold();
    auto answer = std::async(std::launch::async, [&] { return Wm().Send(window, kAsk, 0, 99); });
    // While the window's thread handles nothing, the sender waits.
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_EQ(handled_.load(), 1);
    // A bounded send gives up; its message is still handled later.
    EXPECT_EQ(platform::SendWindowMessage(window, kAsk, 0, 7, 50), std::nullopt);
    ui.Resume();
    EXPECT_EQ(WithinBound("the answer once resumed", [&] { return answer.get(); }), 100);
    EXPECT_TRUE(Eventually([&] { return handled_.load() == 3; }));
    EXPECT_EQ(platform::SendWindowMessage(Make(0, u"Gone", u""), kAsk, 0, 0, 50), 0)
        << "a window of no UI thread answers on the sender's thread";
}

TEST_F(MessagingTest, AHookCanSlowTheThreadDownAndTheSenderStillWaits) {
    UiThread ui;
    Hwnd window = AnsweringWindow(ui);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> hooked{0};
    ui.SetMessageHook([&](const Message& message) {
        EXPECT_EQ(message.window, window);
        ++hooked;
        released.wait();
    });
    auto answer = std::async(std::launch::async, [&] { return Wm().Send(window, kAsk, 0, 1); });
    ASSERT_TRUE(Eventually([&] { return hooked.load() == 1; }));
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_EQ(handled_.load(), 0) << "the hook runs before the window procedure";
    release.set_value();
    EXPECT_EQ(WithinBound("the answer once released", [&] { return answer.get(); }), 2);
    ui.SetMessageHook({});
}

TEST_F(MessagingTest, NotifyMessageReturnsAtOnceAndIsHandledLater) {
    UiThread ui;
    Hwnd window = AnsweringWindow(ui);
    ui.Hold();
    EXPECT_TRUE(platform::NotifyWindow(window, kAsk, 0, 0));
    EXPECT_TRUE(Wm().SendNotify(window, kAsk, 0, 0));
    EXPECT_EQ(ui.Pending(), 2u);
    EXPECT_EQ(handled_.load(), 0);
    ui.Resume();
    EXPECT_TRUE(Eventually([&] { return handled_.load() == 2; }));
    EXPECT_EQ(handledOn_.load(), ui.Id());
    EXPECT_EQ(ui.MessagesHandled(), 2u);
}

TEST_F(MessagingTest, MessagesToOwnWindowsAreDirectCalls) {
    UiThread ui;
    Hwnd window = AnsweringWindow(ui);
    ui.Invoke([&] {
        EXPECT_TRUE(Wm().IsOwnedByCallingThread(window));
        EXPECT_EQ(Wm().Send(window, kAsk, 0, 6), 7);
        EXPECT_EQ(handled_.load(), 1) << "handled before Send returned, not queued";
        EXPECT_TRUE(Wm().SendNotify(window, kAsk, 0, 0));
        EXPECT_EQ(handled_.load(), 2);
    });
    EXPECT_FALSE(Wm().IsOwnedByCallingThread(window));
    EXPECT_EQ(ui.Pending(), 0u);

    // A window made outside any UiThread is handled on whichever thread sends.
    std::thread::id ranOn;
    WindowSpec setup;
    setup.className = u"Free";
    setup.procedure = [&ranOn](const Message&) -> std::intptr_t {
        ranOn = std::this_thread::get_id();
        return 5;
    };
    Hwnd free = Wm().Create(setup);
    std::thread::id caller;
    std::thread([&] {
        caller = std::this_thread::get_id();
        EXPECT_EQ(Wm().Send(free, 1, 0, 0), 5);
    }).join();
    EXPECT_EQ(ranOn, caller);
}

TEST_F(MessagingTest, MessagesToAnEndedThreadAnswerZeroAtOnce) {
    auto ui = std::make_unique<UiThread>();
    Hwnd window = AnsweringWindow(*ui);
    ui->Hold();
    // A sender waiting when the thread ends gets 0, and so does every later one.
    auto waiting = std::async(std::launch::async, [&] { return Wm().Send(window, kAsk, 0, 1); });
    ASSERT_TRUE(Eventually([&] { return ui->Pending() == 1; }));
    ui->Stop();
    EXPECT_EQ(WithinBound("the answer 0 once stopped", [&] { return waiting.get(); }), 0);
    ui->Join();
    EXPECT_FALSE(ui->Running());
    EXPECT_EQ(handled_.load(), 0);
    EXPECT_FALSE(Wm().IsWindow(window)) << "the windows of an ended thread go with it";
    EXPECT_EQ(Wm().Send(window, kAsk, 0, 1), 0);
    EXPECT_FALSE(Wm().SendNotify(window, kAsk, 0, 1));
    EXPECT_FALSE(ui->Invoke([] { ADD_FAILURE() << "ran on an ended thread"; }));
    EXPECT_EQ(ui->CreateWindow(WindowSpec{}), 0u);
    ui.reset();
}

TEST_F(MessagingTest, AStoppedThreadStillOwningWindowsRefusesNewMessages) {
    UiThread ui;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    WindowSpec setup;
    setup.className = u"Slow";
    setup.procedure = [released](const Message&) -> std::intptr_t {
        released.wait();
        return 1;
    };
    Hwnd window = ui.CreateWindow(setup);
    ASSERT_TRUE(Wm().SendNotify(window, kAsk, 0, 0));
    ASSERT_TRUE(Eventually([&] { return ui.Pending() == 0; }));  // in hand now
    ui.Stop();
    // The thread is busy with its last message; a new one is refused at once.
    EXPECT_EQ(Wm().Send(window, kAsk, 0, 0), 0);
    EXPECT_FALSE(Wm().SendNotify(window, kAsk, 0, 0));
    release.set_value();
    ui.Join();
    EXPECT_FALSE(ui.Running());
}

TEST_F(MessagingTest, TwoUiThreadsSendingToEachOtherDoNotDeadlock) {
    UiThread a;
    UiThread b;
    Hwnd windowA = AnsweringWindow(a);
    WindowSpec setup;
    setup.className = u"Forwarder";
    // b's window asks a's window, whose thread is itself waiting on b.
    setup.procedure = [windowA](const Message& message) -> std::intptr_t {
        return WindowManager::Instance().Send(windowA, kAsk, 0, message.lParam) * 10;
    };
    Hwnd windowB = b.CreateWindow(setup);
    std::intptr_t answer = 0;
    ASSERT_TRUE(a.Invoke([&] { answer = Wm().Send(windowB, kAsk, 0, 4); }));
    EXPECT_EQ(answer, 50);
    EXPECT_EQ(handledOn_.load(), a.Id());
}

TEST_F(MessagingTest, AWindowDestroyedWhileItsMessageWaitsAnswersZero) {
    UiThread ui;
    Hwnd window = AnsweringWindow(ui);
    ui.Hold();
    auto answer = std::async(std::launch::async, [&] { return Wm().Send(window, kAsk, 0, 1); });
    ASSERT_TRUE(Eventually([&] { return ui.Pending() == 1; }));
    Wm().Destroy(window);
    ui.Resume();
    EXPECT_EQ(WithinBound("the answer 0 once destroyed", [&] { return answer.get(); }), 0);
    EXPECT_EQ(handled_.load(), 0);
}

}  // namespace
}  // namespace simwin::testing
