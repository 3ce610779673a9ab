// The simulated spooler behaves like the Win32 one where the printer services
// depend on it: two-call sizes, the order and kinds of printers, the default
// printer, level-2 details and the switchable faults.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/simwin/machine_fixture.h"

namespace simwin_test {
namespace {

using simwin::Handle;

constexpr std::uint32_t kBoth = simwin::kPrinterEnumLocal | simwin::kPrinterEnumConnections;

// Runs the two-call enumeration; the records' strings point into `buffer`.
bool Enumerate(std::uint32_t flags, std::vector<std::uint64_t>& buffer,
               std::vector<simwin::PrinterInfo4>& records) {
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    simwin::EnumPrinters(flags, 4, nullptr, 0, needed, returned);
    buffer.assign(needed / 8 + 1, 0);
    if (!simwin::EnumPrinters(flags, 4, reinterpret_cast<std::uint8_t*>(buffer.data()), needed, needed,
                              returned)) {
        return false;
    }
    const auto* first = reinterpret_cast<const simwin::PrinterInfo4*>(buffer.data());
    records.assign(first, first + returned);
    return true;
}

std::vector<std::u16string> Names(const std::vector<simwin::PrinterInfo4>& records) {
    std::vector<std::u16string> names;
    for (const simwin::PrinterInfo4& record : records) {
        names.emplace_back(record.printerName);
    }
    return names;
}

using SpoolerTest = MachineTest;

TEST_F(SpoolerTest, EnumerationListsLocalPrintersAndConnectionsInTheMachinesOrder) {
    std::vector<std::uint64_t> buffer;
    std::vector<simwin::PrinterInfo4> records;
    ASSERT_TRUE(Enumerate(kBoth, buffer, records));
    EXPECT_EQ(Names(records), (std::vector<std::u16string>{u"Office Laser", u"\\\\print-server\\Accounts",
                                                           u"Label Printer", u"Fax"}));
    EXPECT_EQ(records[0].serverName, nullptr);
    EXPECT_EQ(records[0].attributes, simwin::kPrinterAttributeLocal);
    EXPECT_EQ(std::u16string(records[1].serverName), u"\\\\print-server");
    EXPECT_EQ(records[1].attributes, simwin::kPrinterAttributeNetwork);

    ASSERT_TRUE(Enumerate(simwin::kPrinterEnumConnections, buffer, records));
    EXPECT_EQ(Names(records), std::vector<std::u16string>{u"\\\\print-server\\Accounts"});
    ASSERT_TRUE(Enumerate(simwin::kPrinterEnumLocal, buffer, records));
    EXPECT_EQ(records.size(), 3u);
}

TEST_F(SpoolerTest, EnumerationReportsItsSizeAndRefusesASmallerBuffer) {
    std::uint32_t needed = 0;
    std::uint32_t returned = 7;
    EXPECT_FALSE(simwin::EnumPrinters(kBoth, 4, nullptr, 0, needed, returned));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInsufficientBuffer);
    EXPECT_EQ(returned, 0u);
    std::size_t strings = 2 * (12 + 23 + 13 + 3 + 4) + 2 * (14 + 1);  // names, and the one server name
    EXPECT_EQ(needed, 4 * sizeof(simwin::PrinterInfo4) + strings);

    std::vector<std::uint64_t> buffer(needed / 8 + 1, 0);
    std::uint32_t again = 0;
    EXPECT_FALSE(simwin::EnumPrinters(kBoth, 4, reinterpret_cast<std::uint8_t*>(buffer.data()), needed - 1,
                                      again, returned));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInsufficientBuffer);
    EXPECT_EQ(again, needed);
    EXPECT_TRUE(simwin::EnumPrinters(kBoth, 4, reinterpret_cast<std::uint8_t*>(buffer.data()), needed, again,
                                     returned));
    EXPECT_EQ(returned, 4u);
    // Every string lies inside the caller's buffer, behind the records.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
    const auto* records = reinterpret_cast<const simwin::PrinterInfo4*>(bytes);
    for (std::uint32_t i = 0; i < returned; ++i) {
        const auto* name = reinterpret_cast<const std::uint8_t*>(records[i].printerName);
        EXPECT_GE(name, bytes + 4 * sizeof(simwin::PrinterInfo4));
        EXPECT_LT(name, bytes + needed);
    }
}

TEST_F(SpoolerTest, EnumerationOfNoPrintersSucceedsWithNothing) {
    simwin::ResetMachine({});
    std::uint32_t needed = 1;
    std::uint32_t returned = 1;
    EXPECT_TRUE(simwin::EnumPrinters(kBoth, 4, nullptr, 0, needed, returned));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
}

TEST_F(SpoolerTest, EnumerateFaultFailsTheFillingCallButStillReportsTheSize) {
    simwin::SetFault(simwin::Fault::Enumerate, true);
    std::vector<std::uint64_t> buffer;
    std::vector<simwin::PrinterInfo4> records;
    EXPECT_FALSE(Enumerate(kBoth, buffer, records));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorRpcUnavailable);
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    simwin::EnumPrinters(kBoth, 4, nullptr, 0, needed, returned);
    EXPECT_GT(needed, 0u);

    simwin::ResetMachine({.faults = {simwin::Fault::Enumerate}});  // also with no printers at all
    EXPECT_FALSE(Enumerate(kBoth, buffer, records));
    simwin::SetFault(simwin::Fault::Enumerate, false);
    EXPECT_TRUE(Enumerate(kBoth, buffer, records));
}

TEST_F(SpoolerTest, OtherLevelsAreRefused) {
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    EXPECT_FALSE(simwin::EnumPrinters(kBoth, 2, nullptr, 0, needed, returned));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidLevel);
}

TEST_F(SpoolerTest, DefaultPrinterUsesTheTwoCallSizePattern) {
    std::uint32_t units = 0;
    EXPECT_FALSE(simwin::GetDefaultPrinter(nullptr, units));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInsufficientBuffer);
    EXPECT_EQ(units, 13u);  // "Office Laser" and its terminator
    std::u16string small(12, u'x');
    std::uint32_t smallUnits = 12;
    EXPECT_FALSE(simwin::GetDefaultPrinter(small.data(), smallUnits));
    EXPECT_EQ(smallUnits, 13u);
    std::u16string name(units, u'x');
    ASSERT_TRUE(simwin::GetDefaultPrinter(name.data(), units));
    EXPECT_EQ(name, std::u16string(u"Office Laser\0", 13));
}

TEST_F(SpoolerTest, NoDefaultPrinterReportsFileNotFoundAndSizeZero) {
    simwin::MachineSpec setup = TestMachine();
    setup.defaultPrinter.reset();
    simwin::ResetMachine(setup);
    std::uint32_t units = 99;
    EXPECT_FALSE(simwin::GetDefaultPrinter(nullptr, units));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorFileNotFound);
    EXPECT_EQ(units, 0u);
}

TEST_F(SpoolerTest, SetDefaultPrinterRefusesUnknownNamesAndKeepsTheSpoolersSpelling) {
    EXPECT_FALSE(simwin::SetDefaultPrinter(u"Nowhere"));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidPrinterName);
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Office Laser");

    EXPECT_TRUE(simwin::SetDefaultPrinter(u"LABEL printer"));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Label Printer");
    EXPECT_TRUE(simwin::SetDefaultPrinter(u"\\\\PRINT-SERVER\\accounts"));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"\\\\print-server\\Accounts");
}

TEST_F(SpoolerTest, SetDefaultPrinterWithEmptyNameChoosesTheFirstOnlyWhenThereIsNone) {
    EXPECT_TRUE(simwin::SetDefaultPrinter(u""));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Office Laser");
    ASSERT_TRUE(simwin::SetDefaultPrinter(u"Fax"));
    EXPECT_TRUE(simwin::SetDefaultPrinter(nullptr));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Fax");
    ASSERT_TRUE(simwin::RemovePrinter(u"fax"));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), std::nullopt);
    EXPECT_TRUE(simwin::SetDefaultPrinter(u""));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Office Laser");
}

TEST_F(SpoolerTest, OpenPrinterFailsForUnknownNamesAndCountsItsHandles) {
    Handle printer = 123;
    EXPECT_FALSE(simwin::OpenPrinter(u"Nowhere", printer));
    EXPECT_EQ(printer, 0u);
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidPrinterName);
    EXPECT_EQ(simwin::CountHandles().printers, 0u);

    ASSERT_TRUE(simwin::OpenPrinter(u"office laser", printer));
    Handle second = 0;
    ASSERT_TRUE(simwin::OpenPrinter(u"Fax", second));
    EXPECT_NE(printer, second);
    EXPECT_EQ(simwin::CountHandles().printers, 2u);
    EXPECT_TRUE(simwin::ClosePrinter(printer));
    EXPECT_TRUE(simwin::ClosePrinter(second));
    EXPECT_EQ(simwin::CountHandles().printers, 0u);
}

TEST_F(SpoolerTest, ClosingAPrinterTwiceIsCountedNotFatal) {
    ExpectInvalidHandleUses(3);
    Handle printer = 0;
    ASSERT_TRUE(simwin::OpenPrinter(u"Fax", printer));
    ASSERT_TRUE(simwin::ClosePrinter(printer));
    EXPECT_FALSE(simwin::ClosePrinter(printer));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidHandle);
    std::uint32_t needed = 0;
    EXPECT_FALSE(simwin::GetPrinter(printer, 2, nullptr, 0, needed));
    EXPECT_FALSE(simwin::ClosePrinter(0));
    EXPECT_EQ(simwin::CountHandles().invalidUses, 3u);
}

// GetPrinter level 2 with the two-call pattern; the record's strings point into `buffer`.
bool Details(Handle printer, std::vector<std::uint64_t>& buffer, simwin::PrinterInfo2& info) {
    std::uint32_t needed = 0;
    EXPECT_FALSE(simwin::GetPrinter(printer, 2, nullptr, 0, needed));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInsufficientBuffer);
    buffer.assign(needed / 8 + 1, 0);
    if (!simwin::GetPrinter(printer, 2, reinterpret_cast<std::uint8_t*>(buffer.data()), needed, needed)) {
        return false;
    }
    info = *reinterpret_cast<const simwin::PrinterInfo2*>(buffer.data());
    return true;
}

TEST_F(SpoolerTest, LevelTwoDetailsNameThePortOrNone) {
    Handle laser = 0;
    Handle label = 0;
    ASSERT_TRUE(simwin::OpenPrinter(u"Office Laser", laser));
    ASSERT_TRUE(simwin::OpenPrinter(u"Label Printer", label));
    std::vector<std::uint64_t> buffer;
    simwin::PrinterInfo2 info{};
    ASSERT_TRUE(Details(laser, buffer, info));
    EXPECT_EQ(std::u16string(info.printerName), u"Office Laser");
    EXPECT_EQ(std::u16string(info.portName), u"LPT1:");
    ASSERT_TRUE(Details(label, buffer, info));
    EXPECT_EQ(info.portName, nullptr);

    simwin::SetFault(simwin::Fault::PrinterDetails, true);
    EXPECT_FALSE(Details(laser, buffer, info));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorAccessDenied);
    simwin::ClosePrinter(laser);
    simwin::ClosePrinter(label);
}

TEST_F(SpoolerTest, PrintersAddedOrRemovedAreSeenByTheNextCall) {
    ASSERT_TRUE(simwin::AddPrinter({u"Plotter", false, u"COM1:", u"winspool,COM1:"}));
    EXPECT_FALSE(simwin::AddPrinter({u"PLOTTER", false, std::nullopt, std::nullopt}));
    // Names Windows refuses: a ',' or '\' outside a connection's server part.
    for (const simwin::PrinterSpec& refused : {simwin::PrinterSpec{u"Label, Printer"}, {u"Back\\Office"},
                                               {u"\\\\print-server\\Sh,are", true}, {u"\\\\print-server", true},
                                               {u"\\\\print-server\\Labels"}}) {
        EXPECT_FALSE(simwin::AddPrinter(refused)) << std::string(refused.name.begin(), refused.name.end());
    }
    ASSERT_TRUE(simwin::AddPrinter({u"\\\\print-server\\Labels", true}));
    std::vector<std::uint64_t> buffer;
    std::vector<simwin::PrinterInfo4> records;
    ASSERT_TRUE(Enumerate(kBoth, buffer, records));
    EXPECT_EQ(Names(records).back(), u"\\\\print-server\\Labels");
    EXPECT_EQ(Names(records)[records.size() - 2], u"Plotter");
    EXPECT_EQ(simwin::GetValue(simwin::kDevicesKeyPath, u"Plotter")->Text(), u"winspool,COM1:");

    ASSERT_TRUE(simwin::RemovePrinter(u"Office Laser"));
    EXPECT_FALSE(simwin::GetValue(simwin::kDevicesKeyPath, u"Office Laser"));
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), std::nullopt);
    ASSERT_TRUE(Enumerate(kBoth, buffer, records));
    EXPECT_EQ(Names(records).front(), u"\\\\print-server\\Accounts");

    // A machine set up with such a name has no such printer.
    simwin::MachineSpec refusing;
    refusing.printers = {{u"Label, Printer"}, {u"Fax"}};
    simwin::ResetMachine(refusing);
    ASSERT_TRUE(Enumerate(kBoth, buffer, records));
    EXPECT_EQ(Names(records), std::vector<std::u16string>{u"Fax"});
}

TEST_F(SpoolerTest, PrintedDocumentsJoinTheirPrintersQueueUntilTheMachineIsReset) {
    EXPECT_FALSE(simwin::PrintDocument(u"Nowhere", u"doc", u"text"));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidPrinterName);
    ASSERT_TRUE(simwin::PrintDocument(u"LABEL printer", u"first", u"one line"));
    ASSERT_TRUE(simwin::PrintDocument(u"Fax", u"second", u"another"));
    const std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].printer, u"Label Printer");
    EXPECT_EQ(jobs[0].document, u"first");
    EXPECT_EQ(jobs[0].text, u"one line");
    EXPECT_EQ(jobs[1].printer, u"Fax");
    simwin::ResetMachine(TestMachine());
    EXPECT_TRUE(simwin::PrintJobs().empty());
}

TEST_F(SpoolerTest, RawDocumentsJoinTheQueueWholeOrNotAtAll) {
    const std::uint8_t bytes[] = {0x1B, 0x00, 0xFF, 'A'};
    std::uint32_t written = 0;
    EXPECT_EQ(simwin::StartDocPrinter(0x7777, u"doc", u"RAW"), 0u);
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidHandle);
    simwin::ClearInvalidHandleUses();
    // Ended: one job with its name, datatype and bytes in order. Aborted: gone.
    // Closed while open: the spooler ends it. Failing part way or rejected at
    // its end: the half or whole job is in no queue unless the printer is
    // closed with the document still open. Short writes succeed with what
    // they took. A job reaches the printer's port when it joins the queue, or
    // write by write on a printer that starts printing immediately.
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        std::optional<simwin::Fault> fault;
        enum { End, Abort, Close } finish;
        std::optional<Bytes> queued;  // none: no job
        bool immediately = false;
    };
    const Case cases[] = {
        {{}, Case::End, Bytes{0x1B, 0x00, 0xFF, 'A', 0x1B, 0x00, 0xFF, 'A'}},
        {{}, Case::Abort, {}},
        {{}, Case::Close, Bytes{0x1B, 0x00, 0xFF, 'A', 0x1B, 0x00, 0xFF, 'A'}},
        {simwin::Fault::SpoolWrite, Case::Close, Bytes{0x1B, 0x00, 0x1B, 0x00}},
        {simwin::Fault::SpoolWrite, Case::Abort, {}},
        {simwin::Fault::RejectJobs, Case::End, {}},
        {simwin::Fault::ShortWrite, Case::End, Bytes{0x1B, 0x00, 0x1B, 0x00}},
        {simwin::Fault::WriteNothing, Case::End, Bytes{}},
        {simwin::Fault::SpoolWrite, Case::Abort, {}, true},
        {{}, Case::End, Bytes{0x1B, 0x00, 0xFF, 'A', 0x1B, 0x00, 0xFF, 'A'}, true},
    };
    for (const Case& c : cases) {
        simwin::MachineSpec setup = TestMachine();
        setup.printers[2].startPrintingImmediately = c.immediately;
        simwin::ResetMachine(setup);
        if (c.fault) {
            simwin::SetFault(*c.fault, true);
        }
        Handle printer = 0;
        ASSERT_TRUE(simwin::OpenPrinter(u"LABEL printer", printer));
        EXPECT_FALSE(simwin::WritePrinter(printer, bytes, 4, written));
        EXPECT_EQ(simwin::GetLastError(), simwin::kErrorSplNoStartDoc);
        ASSERT_NE(simwin::StartDocPrinter(printer, u"Labels", u"RAW"), 0u);
        EXPECT_EQ(simwin::StartDocPrinter(printer, u"again", u"RAW"), 0u);
        ASSERT_TRUE(simwin::StartPagePrinter(printer));
        const bool failsPartWay = c.fault == simwin::Fault::SpoolWrite;
        const std::uint32_t taken = !c.fault || c.fault == simwin::Fault::RejectJobs ? 4u
                                    : c.fault == simwin::Fault::WriteNothing       ? 0u
                                                                                   : 2u;
        Bytes sent;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(simwin::WritePrinter(printer, bytes, 4, written), !failsPartWay);
            EXPECT_EQ(written, taken);
            sent.insert(sent.end(), bytes, bytes + taken);
        }
        EXPECT_EQ(simwin::PortBytes(u"label printer"), c.immediately ? sent : Bytes{});
        ASSERT_TRUE(simwin::EndPagePrinter(printer));
        if (c.finish == Case::End) {
            EXPECT_EQ(simwin::EndDocPrinter(printer), c.fault != simwin::Fault::RejectJobs);
        } else if (c.finish == Case::Abort) {
            EXPECT_TRUE(simwin::AbortPrinter(printer));
        }
        EXPECT_TRUE(simwin::ClosePrinter(printer));
        const std::vector<simwin::PrintJob> jobs = simwin::QueueJobs(u"label PRINTER");
        ASSERT_EQ(jobs.size(), c.queued ? 1u : 0u);
        if (c.queued) {
            EXPECT_EQ(jobs[0].document, u"Labels");
            EXPECT_EQ(jobs[0].datatype, u"RAW");
            EXPECT_EQ(jobs[0].bytes, *c.queued);
        }
        EXPECT_TRUE(simwin::QueueJobs(u"Fax").empty());
        EXPECT_EQ(simwin::PortBytes(u"Label Printer"), c.immediately ? sent : c.queued.value_or(Bytes{}));
    }
}

}  // namespace
}  // namespace simwin_test
