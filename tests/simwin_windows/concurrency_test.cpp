// Searching and sending while UI threads create and destroy dialogs.
#include <atomic>
#include <thread>

#include "simwin/print_dialog.h"
#include "windows_fixture.h"

namespace simwin::testing {
namespace {

class ConcurrencyTest : public WindowsTest {};

TEST_F(ConcurrencyTest, SearchersAndSendersSeeWholeWindowsOrNone) {
    constexpr int kRounds = 300;
    const std::vector<std::u16string> printers = {u"A", u"Invoices", u"C"};
    std::atomic<bool> done{false};
    std::atomic<int> combosSeen{0};
    std::atomic<int> bad{0};

    auto searcher = [&] {
        std::u16string buffer(64, u'\0');
        while (!done.load()) {
            Hwnd dialog = Wm().Find(0, 0, ClassRef::ByAtom(kDialogClassAtom), u"Print");
            Hwnd label = Wm().Find(dialog, 0, ClassRef::ByName(u"Static"), u"&Name:");
            Hwnd combo = label != 0 ? Wm().Find(dialog, label, ClassRef::ByName(u"ComboBox"), u"") : 0;
            if (combo == 0) {
                continue;
            }
            ++combosSeen;
            // A combo box destroyed meanwhile answers 0; a live one answers in full.
            std::intptr_t count = Wm().Send(combo, kCbGetCount, 0, 0);
            std::intptr_t length =
                Wm().Send(combo, kCbGetLbText, 1, reinterpret_cast<std::intptr_t>(buffer.data()));
            if ((count != 0 && count != 3) || (length != 0 && (length != 8 || buffer.compare(0, 9, u"Invoices\0", 9) != 0))) {
                ++bad;
            }
            Wm().SendNotify(dialog, kWmCommand, kPrinterSelChange, static_cast<std::intptr_t>(combo));
            Wm().Redraw(dialog);
        }
    };
    auto maker = [&](bool plain) {
        UiThread ui;
        for (int round = 0; round < kRounds; ++round) {
            if (plain) {
                DialogWindow other = DialogWindow::Create(&ui, u"Print", {{u"Static", u"&Name:", 0, {}, -1}});
                std::this_thread::yield();
            } else {
                PrintDialogOptions options;
                options.printers = printers;
                PrintDialog dialog(ui, options);
                dialog.Open();
                std::this_thread::yield();
                if (round % 2 == 0) {
                    dialog.Cancel();
                }
            }
        }
    };

    std::vector<std::thread> threads;
    threads.emplace_back(searcher);
    threads.emplace_back(searcher);
    std::thread makerA(maker, false);
    std::thread makerB(maker, true);
    makerA.join();
    makerB.join();
    done = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(bad.load(), 0);
    EXPECT_TRUE(Wm().TopLevelWindows().empty()) << "every window went with its owner";
    // Not a timing claim: it only shows the searchers met live dialogs at all.
    RecordProperty("combosSeen", combosSeen.load());
}

TEST_F(ConcurrencyTest, ThreadsStoppedWhileSendersWaitNeverHang) {
    for (int round = 0; round < 50; ++round) {
        auto ui = std::make_unique<UiThread>();
        PrintDialogOptions options;
        options.printers = {u"A"};
        PrintDialog dialog(*ui, options);
        ASSERT_TRUE(dialog.Open());
        Hwnd combo = dialog.Combo();
        std::vector<std::thread> senders;
        for (int i = 0; i < 3; ++i) {
            senders.emplace_back([combo] {
                for (int k = 0; k < 20; ++k) {
                    std::intptr_t count = WindowManager::Instance().Send(combo, kCbGetCount, 0, 0);
                    EXPECT_TRUE(count == 0 || count == 1);
                }
            });
        }
        ui->Stop();
        WithinBound("the senders' return once the thread stopped", [&] {
            for (std::thread& sender : senders) {
                sender.join();
            }
        });
        ui.reset();
        EXPECT_EQ(dialog.State(), DialogState::Closed);
    }
}

}  // namespace
}  // namespace simwin::testing
