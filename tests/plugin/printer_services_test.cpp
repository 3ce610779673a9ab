#include <gtest/gtest.h>

#include "machine_fixture.h"
#include "printers/printer_services.h"
#include "sim_platform/failure_trace.h"

namespace vorelle::printers {
namespace {

using testing::kPreferences11A;

class PrinterServicesTest : public testing::MachineTest {
protected:
    PrinterServicesTest() { services_.SetPreferencesPath(kPreferences11A); }

    std::optional<simwin::RegistryValue> StoredPrinter(const std::u16string& key = kPreferences11A) {
        return simwin::GetValue(key, u"Printer");
    }

    PrinterServices services_;
};

// --- The catalogue -------------------------------------------------------

TEST_F(PrinterServicesTest, PositionsCountFromOneInTheSpoolersOrder) {
    const auto printers = simwin::Printers();
    for (std::size_t i = 0; i < printers.size(); ++i) {
        std::u16string name;
        EXPECT_EQ(services_.GetPrinterAt(static_cast<std::int32_t>(i + 1), name), 0);
        EXPECT_EQ(name, printers[i].name);
    }
    std::u16string name;
    EXPECT_EQ(services_.GetPrinterAt(static_cast<std::int32_t>(printers.size() + 1), name), -1);
    EXPECT_EQ(name, u"!!ERROR!! Index out of bounds");
}

TEST_F(PrinterServicesTest, ZeroNegativeAndExtremeIndexesAreOutOfBounds) {
    for (std::int32_t index : {0, -1, -2147483647 - 1, 2147483647}) {
        std::u16string name = u"untouched?";
        EXPECT_EQ(services_.GetPrinterAt(index, name), -1) << index;
        EXPECT_EQ(name, u"!!ERROR!! Index out of bounds") << index;
    }
}

TEST_F(PrinterServicesTest, NoPrintersIsOutOfBoundsNotAnEnumerationFailure) {
    simwin::ResetMachine({});
    std::u16string name;
    EXPECT_EQ(services_.GetPrinterAt(1, name), -1);
    EXPECT_EQ(name, u"!!ERROR!! Index out of bounds");
}

TEST_F(PrinterServicesTest, FailingEnumerationIsReportedForEveryIndex) {
    simwin::SetFault(simwin::Fault::Enumerate, true);
    for (std::int32_t index : {1, 0, 99}) {
        std::u16string name;
        EXPECT_EQ(services_.GetPrinterAt(index, name), -1);
        EXPECT_EQ(name, u"!!ERROR!! No Printers Listed");
    }
}

TEST_F(PrinterServicesTest, TheListIsAskedAfreshEachTime) {
    std::u16string name;
    ASSERT_EQ(services_.GetPrinterAt(6, name), -1);
    ASSERT_TRUE(simwin::AddPrinter({u"Late Arrival", false, u"LPT3:", u"winspool,LPT3:"}));
    EXPECT_EQ(services_.GetPrinterAt(6, name), 0);
    EXPECT_EQ(name, u"Late Arrival");
    ASSERT_TRUE(simwin::RemovePrinter(u"Office Laser"));
    EXPECT_EQ(services_.GetPrinterAt(1, name), 0);
    EXPECT_EQ(name, u"\\\\print-server\\Accounts");
}

TEST_F(PrinterServicesTest, LongAndUnusualNamesComeBackWhole) {
    const std::u16string longName(220, u'\u00e9');
    const std::u16string surrogates = u"Drucker \U0001F5A8 2";
    simwin::ResetMachine({{{longName, false, u"LPT1:", u"winspool,LPT1:"},
                           {surrogates, false, u"LPT2:", u"winspool,LPT2:"}}});
    std::u16string name;
    ASSERT_EQ(services_.GetPrinterAt(1, name), 0);
    EXPECT_EQ(name, longName);
    ASSERT_EQ(services_.GetPrinterAt(2, name), 0);
    EXPECT_EQ(name, surrogates);
}

// --- The Windows default printer -----------------------------------------

TEST_F(PrinterServicesTest, DefaultPrinterIsReadSetAndReadBack) {
    EXPECT_EQ(services_.GetSystemPrinter(), u"Office Laser");
    EXPECT_EQ(services_.SetSystemPrinter(u"\\\\print-server\\Accounts"), u"0");
    EXPECT_EQ(services_.GetSystemPrinter(), u"\\\\print-server\\Accounts");
}

TEST_F(PrinterServicesTest, UnknownDefaultIsRefusedAndLeavesTheDefault) {
    EXPECT_EQ(services_.SetSystemPrinter(u"Nowhere"), u"!!ERROR!! Unable to set system printer");
    EXPECT_EQ(services_.GetSystemPrinter(), u"Office Laser");
}

TEST_F(PrinterServicesTest, NoDefaultPrinterGivesTheEmptyText) {
    auto setup = testing::StandardMachine();
    setup.defaultPrinter.reset();
    simwin::ResetMachine(setup);
    EXPECT_EQ(services_.GetSystemPrinter(), u"");
}

// --- The application printer switch --------------------------------------

TEST_F(PrinterServicesTest, SwitchWritesNameCommaDevicesDataAsRegSz) {
    EXPECT_EQ(services_.SetApplicationPrinter(u"Office Laser"), u"0");
    const auto value = StoredPrinter();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, simwin::kRegSz);
    const std::u16string expected = u"Office Laser,winspool,LPT1:";
    ASSERT_EQ(value->data.size(), 2 * expected.size() + 2);
    EXPECT_EQ(value->Text(), expected);
    EXPECT_EQ(value->data[value->data.size() - 1], 0);
    EXPECT_EQ(value->data[value->data.size() - 2], 0);
}

TEST_F(PrinterServicesTest, NamesAndDataPassUntouched) {
    EXPECT_EQ(services_.SetApplicationPrinter(u"\\\\print-server\\Accounts"), u"0");
    EXPECT_EQ(StoredPrinter()->Text(), u"\\\\print-server\\Accounts,winspool,Ne01:");
    EXPECT_EQ(services_.SetApplicationPrinter(u"Label Printer"), u"0");
    EXPECT_EQ(StoredPrinter()->Text(), u"Label Printer,winspool,USB001,extra");
    // Twice the same: the same value.
    EXPECT_EQ(services_.SetApplicationPrinter(u"Label Printer"), u"0");
    EXPECT_EQ(StoredPrinter()->Text(), u"Label Printer,winspool,USB001,extra");
}

TEST_F(PrinterServicesTest, TheCallersSpellingIsStoredNotTheSpoolers) {
    EXPECT_EQ(services_.SetApplicationPrinter(u"office laser"), u"0");
    EXPECT_EQ(StoredPrinter()->Text(), u"office laser,winspool,LPT1:");
}

TEST_F(PrinterServicesTest, EachFailureHasItsStatusAndWritesNothing) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::u16string printer;
        std::u16string status;
    };
    const Case cases[] = {
        {"unknown printer", [] {}, u"Nowhere", u"!!ERROR!! Specified printer not found"},
        {"details unreadable", [] { simwin::SetFault(simwin::Fault::PrinterDetails, true); },
         u"Office Laser", u"2"},
        {"devices key", [] { simwin::SetFault(simwin::Fault::DevicesKey, true); },
         u"Office Laser", u"-3"},
        {"no devices value", [] {}, u"No Devices", u"-1"},
        {"devices data unreadable", [] { simwin::SetFault(simwin::Fault::DevicesValue, true); },
         u"Office Laser", u"-2"},
        {"no port", [] {}, u"Portless", u"2"},
        {"missing preferences key", [] { simwin::DeleteKey(kPreferences11A); }, u"Office Laser",
         u"5"},
        {"read-only preferences key", [] { simwin::SetKeyReadOnly(kPreferences11A, true); },
         u"Office Laser", u"5"},
        {"write fails", [] { simwin::SetFault(simwin::Fault::WritePrinter, true); },
         u"Office Laser", u"4"},
    };
    for (const Case& c : cases) {
        simwin::ResetMachine(testing::StandardMachine());
        c.arrange();
        EXPECT_EQ(services_.SetApplicationPrinter(c.printer), c.status) << c.what;
        EXPECT_FALSE(StoredPrinter()) << c.what << ": something was written";
    }
}

// --- Raw data ------------------------------------------------------------

TEST_F(PrinterServicesTest, ARawJobTheSpoolerDoesNotTakeWholeIsCancelledAndTraced) {
    struct Case {
        std::optional<simwin::Fault> fault;
        RawSendOutcome outcome;
        std::u16string_view tracedCall;
        std::uint32_t tracedError;
    };
    const RawDataSource escapes = [](std::size_t, std::span<std::uint8_t> bytes) {
        std::fill(bytes.begin(), bytes.end(), std::uint8_t{0x1B});
    };
    (void)platform::sim::TakeTracedFailures();
    for (const Case& c : {Case{simwin::Fault::SpoolWrite, RawSendOutcome::NotSent, u"WritePrinter", 112},
                          Case{simwin::Fault::RejectJobs, RawSendOutcome::NotSent, u"EndDocPrinter", 6},
                          Case{simwin::Fault::WriteNothing, RawSendOutcome::NotSent,
                               u"WritePrinter (no byte taken)", 0},
                          Case{{}, RawSendOutcome::PrinterNotFound, u"OpenPrinterW", 1801}}) {
        if (c.fault) {
            simwin::SetFault(*c.fault, true);
        }
        EXPECT_EQ(services_.SendRawData(c.fault ? u"Office Laser" : u"Nowhere", u"doc", 200'000, escapes), c.outcome);
        if (c.fault) {
            simwin::SetFault(*c.fault, false);
        }
        EXPECT_TRUE(simwin::PrintJobs().empty()) << "a job is left, error " << c.tracedError;
        const std::vector<platform::sim::TracedFailure> traced = platform::sim::TakeTracedFailures();
        ASSERT_EQ(traced.size(), 1u) << "error " << c.tracedError;
        EXPECT_EQ(traced[0].call, c.tracedCall);
        EXPECT_EQ(traced[0].errorCode, c.tracedError);
    }
    // The data's source raising part way (the host failing while its text
    // is read): the job is cancelled all the same.
    const RawDataSource failing = [](std::size_t offset, std::span<std::uint8_t> bytes) {
        if (offset > 0) {
            throw std::bad_alloc();
        }
        std::fill(bytes.begin(), bytes.end(), std::uint8_t{0x1B});
    };
    EXPECT_THROW((void)services_.SendRawData(u"Office Laser", u"doc", 200'000, failing), std::bad_alloc);
    EXPECT_TRUE(simwin::PrintJobs().empty()) << "a job is left after its source raised";
}

TEST_F(PrinterServicesTest, AMissingPreferencesKeyIsNeverCreated) {
    simwin::DeleteKey(kPreferences11A);
    EXPECT_EQ(services_.SetApplicationPrinter(u"Office Laser"), u"5");
    EXPECT_FALSE(simwin::KeyExists(kPreferences11A));
}

TEST_F(PrinterServicesTest, ChecksComeInTheirFixedOrder) {
    // Several faults at once: the earliest check decides.
    simwin::SetFault(simwin::Fault::DevicesKey, true);
    simwin::SetFault(simwin::Fault::WritePrinter, true);
    EXPECT_EQ(services_.SetApplicationPrinter(u"Portless"), u"-3");
    simwin::SetFault(simwin::Fault::DevicesKey, false);
    // Devices value before the port: a portless printer without Devices data is "-1".
    simwin::ResetMachine({{{u"Bare", false, std::nullopt, std::nullopt}}, {}, {}, {}, {}});
    EXPECT_EQ(services_.SetApplicationPrinter(u"Bare"), u"-1");
    // The port before the preferences path.
    PrinterServices unknownHost;
    simwin::ResetMachine(testing::StandardMachine());
    EXPECT_EQ(unknownHost.SetApplicationPrinter(u"Portless"), u"2");
    EXPECT_EQ(unknownHost.SetApplicationPrinter(u"No Devices"), u"-1");
    EXPECT_EQ(unknownHost.SetApplicationPrinter(u"Office Laser"), u"3");
}

TEST_F(PrinterServicesTest, DevicesDataOfOddLengthOrWithoutTerminatorStaysInBounds) {
    const std::u16string devices = std::u16string(simwin::kDevicesKeyPath);
    // "ab" without a terminator, then one stray byte.
    simwin::PutValue(devices, u"Office Laser", simwin::kRegSz, {'a', 0, 'b', 0, 'c'});
    EXPECT_EQ(services_.SetApplicationPrinter(u"Office Laser"), u"0");
    // The stray byte fills half a unit whose other half is the zero fill.
    EXPECT_EQ(StoredPrinter()->Text(), std::u16string(u"Office Laser,ab") + u'c');

    simwin::PutValue(devices, u"Office Laser", simwin::kRegBinary, {'x', 0, 0, 0, 'y', 0});
    EXPECT_EQ(services_.SetApplicationPrinter(u"Office Laser"), u"0");
    EXPECT_EQ(StoredPrinter()->Text(), u"Office Laser,x");

    simwin::PutValue(devices, u"Office Laser", simwin::kRegSz, {});
    EXPECT_EQ(services_.SetApplicationPrinter(u"Office Laser"), u"0");
    EXPECT_EQ(StoredPrinter()->Text(), u"Office Laser,");
}

TEST_F(PrinterServicesTest, PreferencesPathIsKeptToItsLimit) {
    services_.SetPreferencesPath(std::u16string(300, u'k'));
    EXPECT_EQ(services_.PreferencesPath().size(), 255u);
}

}  // namespace
}  // namespace vorelle::printers
