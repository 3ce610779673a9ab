// Printer names at the edges: the lengths where the spooler, the registry and
// the Print dialog's item buffer draw their lines, and names that hold a NUL
// (a host text may; a 0-terminated copy ends there).
#include <gtest/gtest.h>

#include <memory>

#include "simwin/print_dialog.h"
#include "simwin/ui_thread.h"
#include "tests/plugin/host_fixture.h"

namespace vorelle::testing {
namespace {

using namespace std::string_literals;

// A name of `length` units that ends in its length, so that names of
// neighbouring lengths never share a prefix of the shorter one's length.
std::u16string NameOfLength(std::size_t length) {
    std::u16string tail = u" #";
    for (char c : std::to_string(length)) {
        tail.push_back(static_cast<char16_t>(c));
    }
    std::u16string name(length - std::min(length, tail.size()), u'N');
    name += tail.substr(tail.size() - std::min(length, tail.size()));
    return name;
}

// 1 unit; 31 and 32 around the device name of a DEVMODE (32 with its NUL);
// 220, the longest name Windows gives a local printer; 259 and 260 around
// MAX_PATH for a connection's \\server\printer; 1027 and 1028 around what the
// Print dialog watcher's item buffer holds; 16383, the longest registry value
// name (the Devices value is named after the printer).
const std::size_t kLengths[] = {1, 31, 32, 220, 259, 260, 1027, 1028, 16383};

class PrinterNameEdgesTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        simwin::MachineSpec setup = StandardMachine();
        for (std::size_t length : kLengths) {
            setup.printers.push_back({NameOfLength(length), length == 259 || length == 260, u"LPT3:",
                                     u"winspool,LPT3:"});
        }
        simwin::ResetMachine(setup);
        StartUp();
    }
    void TearDown() override {
        dialog_.reset();
        ui_.reset();
        simwin::UseRealClock();
        HostTest::TearDown();
    }

    // A Print dialog listing every printer of the machine is open; then
    // VORL_ChangePrinter( name ) runs; the watcher's pause is let pass. The
    // printer the dialog was confirmed with; none when the watcher left the
    // dialog to the user.
    std::optional<std::u16string> ConfirmedAfterChangePrinter(const std::u16string& name) {
        simwin::UseManualClock(1'000'000);
        ui_ = std::make_unique<simwin::UiThread>();
        simwin::PrintDialogOptions options;
        for (const simwin::PrinterSpec& printer : simwin::Printers()) {
            options.printers.push_back(printer.name);
        }
        options.selected = 0;
        dialog_ = std::make_unique<simwin::PrintDialog>(*ui_, options);
        EXPECT_TRUE(dialog_->Open());
        EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(name)}), u"0");
        // The watcher busy-waits for the seconds count to move on, or has
        // found no item of that name and ended.
        const std::uint64_t reads = simwin::ClockReads();
        EXPECT_TRUE(Eventually([&] {
            return simwin::ClockReads() > reads + 20'000 || simwin::CountHandles().runningThreads == 0;
        }));
        simwin::AdvanceClock(1);
        EXPECT_TRUE(Eventually([] { return simwin::CountHandles().runningThreads == 0; }))
            << "the watcher did not end";
        if (dialog_->SelectionChangeCount() != 0) {
            EXPECT_EQ(dialog_->WaitUntilClosed(kWaitBound), simwin::DialogState::Confirmed);
        }
        std::optional<std::u16string> confirmed = dialog_->ConfirmedPrinter();
        dialog_.reset();
        ui_.reset();
        return confirmed;
    }

    std::unique_ptr<simwin::UiThread> ui_;
    std::unique_ptr<simwin::PrintDialog> dialog_;
};

TEST_F(PrinterNameEdgesTest, NamesAtTheLengthLimitsComeBackWholeAndSwitch) {
    const std::size_t first = StandardMachine().printers.size() + 1;
    std::u16string list = u"Office Laser\r\\\\print-server\\Accounts\rLabel Printer\rPortless\rNo Devices";
    for (const std::size_t length : kLengths) {
        list += u"\r" + NameOfLength(length);
    }
    EXPECT_TRUE(Result(u"VORL_GetPrinterList") == list) << "the list of names at the length limits";
    for (std::size_t i = 0; i < std::size(kLengths); ++i) {
        const std::u16string name = NameOfLength(kLengths[i]);
        ASSERT_EQ(name.size(), kLengths[i]);
        EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number(std::to_string(first + i))}), name) << kLengths[i];
        EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(name)}), u"0") << kLengths[i];
        EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), name) << kLengths[i];
        EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(name)}), u"0") << kLengths[i];
        const auto value = simwin::GetValue(kPreferences11A, u"Printer");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->data, simwin::RegistryValue::String(u"Printer", name + u",winspool,LPT3:").data)
            << kLengths[i];
    }
}

TEST_F(PrinterNameEdgesTest, TheWatcherSelectsNamesThatFitItsBufferAndSkipsLongerOnes) {
    EXPECT_EQ(ConfirmedAfterChangePrinter(NameOfLength(220)), NameOfLength(220));
    EXPECT_EQ(ConfirmedAfterChangePrinter(NameOfLength(1027)), NameOfLength(1027));
    // Too long for the buffer: never read, so never selected; the dialog is
    // left to the user, never confirmed with a printer nobody asked for.
    EXPECT_EQ(ConfirmedAfterChangePrinter(NameOfLength(1028)), std::nullopt);
    EXPECT_EQ(ConfirmedAfterChangePrinter(NameOfLength(16383)), std::nullopt);
}

TEST_F(PrinterNameEdgesTest, ANulInsideANameEndsTheNameEverywhere) {
    // The spooler sees "Office Laser"; the preference must name the same
    // printer with its Devices data, not hide that data behind a NUL.
    const std::u16string withNul = u"Office Laser\0junk"s;
    for (const char16_t* function : {u"VORL_ChangeForPreview", u"VORL_ChangePrinter"}) {
        simwin::DeleteValue(kPreferences11A, u"Printer");
        ASSERT_EQ(Result(function, {Text(withNul)}), u"0");
        const auto value = simwin::GetValue(kPreferences11A, u"Printer");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->data,
                  simwin::RegistryValue::String(u"Printer", u"Office Laser,winspool,LPT1:").data)
            << fmwrapper::Utf16ToUtf8(function);
    }
    // A name that starts with its NUL names no printer; the preference stays.
    const auto before = simwin::GetValue(kPreferences11A, u"Printer");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"\0Office Laser"s)}),
              u"!!ERROR!! Specified printer not found");
    EXPECT_EQ(simwin::GetValue(kPreferences11A, u"Printer")->data, before->data);
}

}  // namespace
}  // namespace vorelle::testing
