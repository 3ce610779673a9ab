#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "platform/spooler.h"
#include "simwin/other_process.h"
#include "simwin/print_dialog.h"
#include "simwin/ui_thread.h"

namespace vorelle::testing {
namespace {

class FunctionsTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        StartUp();
    }
    std::optional<std::u16string> StoredPrinter() {
        const auto value = simwin::GetValue(kPreferences11A, u"Printer");
        return value ? std::optional(value->Text()) : std::nullopt;
    }
};

const std::u16string kBadCount = u"!!ERROR!! Invalid Number of Parameters";
const std::u16string kBadCountLower = u"!!ERROR!! Invalid number of parameters";
const std::u16string kBadFormat = u"!!ERROR!! Invalid Parameter format";
const std::u16string kOutOfBounds = u"!!ERROR!! Index out of bounds";

// --- VORL_Version -------------------------------------------------------------

TEST_F(FunctionsTest, VersionLongUnlessShortInAnyCase) {
    EXPECT_EQ(Result(u"VORL_Version"), u"Vorelle 3.0.4.3");
    for (const char16_t* shortForm : {u"short", u"Short", u"SHORT", u"sHoRt"}) {
        EXPECT_EQ(Result(u"VORL_Version", {Text(shortForm)}), u"3.0.4.13");
    }
    for (const char16_t* other : {u"Long", u"long", u"", u" short", u"short ", u"shorter",
                                  u"shor", u"\u017Fhort"}) {
        EXPECT_EQ(Result(u"VORL_Version", {Text(other)}), u"Vorelle 3.0.4.3");
    }
    EXPECT_EQ(Result(u"VORL_Version", {Number("5")}), u"Vorelle 3.0.4.3");
    EXPECT_EQ(Result(u"VORL_Version", {Text(u"short"), Text(u"ignored")}), u"3.0.4.13");
}

// --- VORL_GetPrinterAt ----------------------------------------------------------

TEST_F(FunctionsTest, GetPrinterAtByPositionAndBeyond) {
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"Office Laser");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("2")}), u"\\\\print-server\\Accounts");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("5")}), u"No Devices");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("6")}), kOutOfBounds);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("0")}), kOutOfBounds);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("-3")}), kOutOfBounds);
}

TEST_F(FunctionsTest, GetPrinterAtTakesTheHostsConversionOfTheNumber) {
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("2.9")}), u"\\\\print-server\\Accounts");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("-0.5")}), kOutOfBounds);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("99999999999999999999")}), kOutOfBounds);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Text(u"3rd")}), u"Label Printer");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Text(u"abc")}), kOutOfBounds);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Boolean(true)}), u"Office Laser");
}

TEST_F(FunctionsTest, GetPrinterAtChecksCountThenEmptiness) {
    EXPECT_EQ(Result(u"VORL_GetPrinterAt"), kBadCount);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1"), Number("2")}), kBadCount);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Text(u""), Text(u"")}), kBadCount);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Text(u"")}), kBadFormat);
}

TEST_F(FunctionsTest, GetPrinterAtReportsAFailingEnumeration) {
    simwin::SetFault(simwin::Fault::Enumerate, true);
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"!!ERROR!! No Printers Listed");
    simwin::ResetMachine({});
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), kOutOfBounds);
}

// --- VORL_GetPrinterList ---------------------------------------------------------

const std::u16string kStandardList =
    u"Office Laser\r\\\\print-server\\Accounts\rLabel Printer\rPortless\rNo Devices";

TEST_F(FunctionsTest, GetPrinterListIsOneEnumerationInTheSpoolersOrder) {
    // One size query: one enumeration for the whole list.
    int sizeQueries = 0;
    simwin::ChangeAfterNextSizeQuery([&] { ++sizeQueries; }, 100);
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), kStandardList);
    simwin::ChangeAfterNextSizeQuery({});
    EXPECT_EQ(sizeQueries, 1);
    // Each call its own snapshot: a printer added between two calls is in
    // the second; one added between the two calls of the size pattern, once.
    ASSERT_TRUE(simwin::AddPrinter({u"Added", false, u"LPT9:", {}}));
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), kStandardList + u"\rAdded");
    simwin::ChangeAfterNextSizeQuery([] { simwin::AddPrinter({u"Added Meanwhile", false, u"LPT9:", {}}); });
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), kStandardList + u"\rAdded\rAdded Meanwhile");
    EXPECT_EQ(Result(u"VORL_GetPrinterList", {Text(u"")}), kBadCountLower);
    simwin::SetFault(simwin::Fault::Enumerate, true);
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), u"!!ERROR!! No Printers Listed");
    simwin::ResetMachine({});
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), u"");
}

TEST_F(FunctionsTest, GetPrinterListHandsOverHundredsOfPrintersAndLeavesOutNamesThatWouldSplit) {
    // 600 printers, every other a connection with long server and share names.
    simwin::MachineSpec setup;
    std::u16string list;
    for (int i = 1; i <= 600; ++i) {
        const std::u16string number(fmwrapper::Utf8ToUtf16(std::to_string(i)));
        const bool connection = i % 2 == 0;
        const std::u16string name = connection ? u"\\\\print-server-" + std::u16string(60, u's') + u"\\Share " +
                                                     number + std::u16string(120, u'q')
                                               : u"Printer " + number;
        setup.printers.push_back({name, connection, name, {}});
        list += (i == 1 ? u"" : u"\r") + name;
    }
    simwin::ResetMachine(setup);
    const std::u16string got = Result(u"VORL_GetPrinterList");
    EXPECT_EQ(got.size(), list.size());
    EXPECT_TRUE(got == list) << "the list differs from unit " << std::mismatch(got.begin(), got.end(), list.begin(), list.end()).first - got.begin();
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("600")}), setup.printers.back().name);

    // A carriage return or a line feed in a name would split it into two
    // values that name no printer: the name is left out of the list, and
    // VORL_GetPrinterAt still gives it at its position.
    setup.printers = {{u"First\rOne", false, u"LPT1:", {}}, {u"Office", false, u"LPT1:", {}},
                      {u"Line\nFeed", false, u"LPT1:", {}}, {u"\r\n", false, u"LPT1:", {}},
                      {u"Last", false, u"LPT1:", {}}};
    simwin::ResetMachine(setup);
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), u"Office\rLast");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"First\rOne");
    setup.printers.resize(1);
    simwin::ResetMachine(setup);
    EXPECT_EQ(Result(u"VORL_GetPrinterList"), u"");
}

// --- The Windows default printer ---------------------------------------------

TEST_F(FunctionsTest, SystemPrinterReadSetAndRefused) {
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), u"Office Laser");
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(u"Label Printer")}), u"0");
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), u"Label Printer");
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(u"Nowhere")}),
              u"!!ERROR!! Unable to set system printer");
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(u" Label Printer")}),
              u"!!ERROR!! Unable to set system printer");
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), u"Label Printer");
}

TEST_F(FunctionsTest, SetSystemPrinterChecks) {
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter"), kBadCount);
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(u"a"), Text(u"b")}), kBadCount);
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(u"")}), kBadFormat);
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Office Laser");
}

TEST_F(FunctionsTest, NoDefaultPrinterIsTheEmptyTextNotAnError) {
    auto setup = StandardMachine();
    setup.defaultPrinter.reset();
    simwin::ResetMachine(setup);
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), u"");
}

TEST_F(FunctionsTest, LongNamesAndSurrogatePairsArriveWhole) {
    const std::u16string surrogates = u"\U0001F5A8 Printer \U00010437";
    const std::u16string longName = std::u16string(4000, u'n') + u"\U0001F5A8";
    ASSERT_TRUE(simwin::AddPrinter({surrogates, false, u"LPT5:", u"winspool,LPT5:"}));
    ASSERT_TRUE(simwin::AddPrinter({longName, false, u"LPT6:", u"winspool,LPT6:"}));
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(surrogates)}), u"0");
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), surrogates);
    EXPECT_EQ(Result(u"VORL_SetSystemPrinter", {Text(longName)}), u"0");
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), longName);
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(longName)}), u"0");
    EXPECT_EQ(StoredPrinter(), longName + u",winspool,LPT6:");
}

// --- VORL_ChangeForPreview ------------------------------------------------------

TEST_F(FunctionsTest, ChangeForPreviewWritesThePreference) {
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"\\\\print-server\\Accounts")}), u"0");
    EXPECT_EQ(StoredPrinter(), u"\\\\print-server\\Accounts,winspool,Ne01:");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u) << "no watcher for a preview";
}

TEST_F(FunctionsTest, ChangeForPreviewChecksAndStatuses) {
    EXPECT_EQ(Result(u"VORL_ChangeForPreview"), kBadCountLower);
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"a"), Text(u"b")}), kBadCountLower);
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"")}), kBadFormat);
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Nowhere")}),
              u"!!ERROR!! Specified printer not found");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"No Devices")}), u"-1");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Portless")}), u"2");
    EXPECT_FALSE(StoredPrinter());
}

class UnknownHostVersionTest : public HostTest {};

TEST_F(UnknownHostVersionTest, AnUnknownHostVersionGivesThreeAfterTheEarlierChecks) {
    StartUp(u"ProAdvanced 12.0v1");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"No Devices")}), u"-1");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Office Laser")}), u"3");
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"3");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
}

TEST_F(UnknownHostVersionTest, TheHostVersionChoosesTheKeyWritten) {
    const std::u16string key10 = u"Software\\FileMaker\\FileMaker Pro\\10.0\\Preferences";
    simwin::CreateKey(key10);
    StartUp(u"Pro 10.0v1");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Office Laser")}), u"0");
    EXPECT_EQ(simwin::GetValue(key10, u"Printer")->Text(), u"Office Laser,winspool,LPT1:");
    EXPECT_FALSE(simwin::GetValue(kPreferences11A, u"Printer"));
}

// --- VORL_SetToWindowsDefaultPrinter -----------------------------------------------

TEST_F(FunctionsTest, SetToWindowsDefaultPrinterSwitchesToTheDefaultWithoutAWatcher) {
    EXPECT_EQ(Result(u"VORL_SetToWindowsDefaultPrinter"), u"0");
    EXPECT_EQ(StoredPrinter(), u"Office Laser,winspool,LPT1:");
    ASSERT_TRUE(simwin::SetDefaultPrinter(u"label PRINTER"));
    EXPECT_EQ(Result(u"VORL_SetToWindowsDefaultPrinter"), u"0");
    EXPECT_EQ(StoredPrinter(), u"Label Printer,winspool,USB001,extra") << "the spooler's spelling";
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    // The switch's statuses, and an error text when there is no default.
    ASSERT_TRUE(simwin::SetDefaultPrinter(u"Portless"));
    EXPECT_EQ(Result(u"VORL_SetToWindowsDefaultPrinter"), u"2");
    ASSERT_TRUE(simwin::RemovePrinter(u"Portless"));
    EXPECT_EQ(Result(u"VORL_SetToWindowsDefaultPrinter"), u"!!ERROR!! There is no Windows default printer");
    EXPECT_EQ(Result(u"VORL_SetToWindowsDefaultPrinter", {Text(u"Office Laser")}), kBadCountLower);
    EXPECT_EQ(StoredPrinter(), u"Label Printer,winspool,USB001,extra");
}

// --- VORL_SendData and VORL_SendHexData ---------------------------------------------

const std::u16string kNotSent = u"!!ERROR!! Data not sent: the printer's queue did not take the whole job";
const std::u16string kNotBytes = u"!!ERROR!! Data holds a character above U+00FF; nothing was sent";
const std::u16string kNotHex =
    u"!!ERROR!! HexData holds a character that is neither a hexadecimal digit nor a blank; nothing was sent";
const std::u16string kBlankInPair = u"!!ERROR!! HexData has a blank inside a pair of hexadecimal digits; nothing was sent";
const std::u16string kOddDigits = u"!!ERROR!! HexData has an odd number of hexadecimal digits; nothing was sent";

// `count` bytes whose pattern (period 251) never lines up with a chunk.
std::vector<std::uint8_t> PatternBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 251 + 3);
    }
    return bytes;
}

// The bytes as VORL_SendData's Data (each a character) or VORL_SendHexData's
// HexData (pairs in both letter cases, `blank` before each pair).
std::u16string AsData(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
std::u16string AsHex(const std::vector<std::uint8_t>& bytes, std::u16string_view blank = u"") {
    const char16_t* digits[] = {u"0123456789abcdef", u"0123456789ABCDEF"};
    std::u16string hex;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        hex += blank;
        hex += digits[i % 2][bytes[i] >> 4];
        hex += digits[i % 2][bytes[i] & 0xF];
    }
    return hex;
}

TEST_F(FunctionsTest, RawDataOfEverySizeBesideTheChunkBoundariesArrivesByteForByte) {
    // Reading chunks of 65,536 characters (32,768 bytes of HexData), writing
    // chunks of 65,536 bytes; a queue taking half of each write (the rest
    // written after it); HexData with a blank before each pair, so that pairs
    // straddle the reading chunks.
    for (const bool shortWrites : {false, true}) {
        for (const std::size_t size : {1, 32767, 32768, 32769, 65535, 65536, 65537, 131073}) {
            const std::vector<std::uint8_t> bytes = PatternBytes(size);
            for (const int form : {0, 1, 2}) {
                const std::string where = std::to_string(size) + " bytes, form " + std::to_string(form) +
                                          (shortWrites ? ", short writes" : "");
                simwin::ResetMachine(StandardMachine());
                simwin::SetFault(simwin::Fault::ShortWrite, shortWrites);
                const std::u16string data = form == 0 ? AsData(bytes) : AsHex(bytes, form == 2 ? u" " : u"");
                ASSERT_EQ(Result(form == 0 ? u"VORL_SendData" : u"VORL_SendHexData", {Text(u"label PRINTER"), Text(data)}),
                          u"0") << where;
                const std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
                ASSERT_EQ(jobs.size(), 1u) << where;
                EXPECT_EQ(jobs[0].printer, u"Label Printer");
                EXPECT_EQ(jobs[0].document, form == 0 ? u"Vorelle VORL_SendData" : u"Vorelle VORL_SendHexData");
                EXPECT_EQ(jobs[0].datatype, u"RAW");
                EXPECT_TRUE(jobs[0].bytes == bytes) << where << ": " << jobs[0].bytes.size() << " bytes arrived";
            }
        }
    }
}

TEST_F(FunctionsTest, ACharacterNoByteOrADigitNoHexBesideAnyChunkBoundarySendsNothing) {
    const std::vector<std::uint8_t> bytes = PatternBytes(131075);
    for (const std::size_t at : {0, 65535, 65536, 65537, 131071, 131072, 131073, 131074}) {
        std::u16string data = AsData(bytes);
        data[at] = u'\u0100';
        EXPECT_EQ(Result(u"VORL_SendData", {Text(u"Office Laser"), Text(data)}), kNotBytes) << at;
        std::u16string hex = AsHex(bytes);
        hex[at] = u'g';
        EXPECT_EQ(Result(u"VORL_SendHexData", {Text(u"Office Laser"), Text(hex)}), kNotHex) << at;
        EXPECT_TRUE(simwin::PrintJobs().empty()) << at;
    }
}

TEST_F(FunctionsTest, SendHexDataDeliversEveryByteValueInOrderWithBlanksBetweenPairs) {
    std::vector<std::uint8_t> bytes(256);
    std::u16string hex = u" \r\n";
    const std::u16string_view blanks[] = {u"", u" ", u"\t", u"\r\n", u"  "};
    for (int value = 0; value < 256; ++value) {
        bytes[value] = static_cast<std::uint8_t>(value);
        hex += AsHex({bytes[value]}) + std::u16string(blanks[value % 5]);
    }
    EXPECT_EQ(Result(u"VORL_SendHexData", {Text(u"Label Printer"), Text(hex)}), u"0");
    const std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0].bytes == bytes);
}

TEST_F(FunctionsTest, SendDataAsAScriptWritesItAndTheQueueThatShowsIt) {
    // FileMaker's Char( 0 ) is the empty text: a NUL goes by HexData.
    EXPECT_EQ(session_.EvaluateLine("VORL_SendData( \"Label Printer\" ; \"^XA\xC2\xB6\" & Char( 10 ) & "
                                    "Char( 27 ) & Char(0) & Char( 233 ) & \"^XZ\" )").output, "0");
    EXPECT_EQ(session_.EvaluateLine("VORL_SendHexData( \"Label Printer\" ; \"1B 40 41\xC2\xB6\" & \"1d 56 00\" )").output,
              "0");
    EXPECT_EQ(session_.EvaluateLine(":queue label PRINTER").output,
              "job 1 \"Vorelle VORL_SendData\" RAW 10 bytes: ^XA<U+000D><U+000A><U+001B>\xC3\xA9^XZ\n"
              "job 2 \"Vorelle VORL_SendHexData\" RAW 6 bytes: <U+001B>@A<U+001D>V<U+0000>");
    EXPECT_EQ(session_.EvaluateLine(":queue Fax").error, "the machine has no printer Fax");
    EXPECT_EQ(session_.EvaluateLine(":queue Portless").output, "no jobs");
}

TEST_F(FunctionsTest, SendDataRefusalsAndFailuresLeaveNoJob) {
    struct Case {
        std::vector<Parameter> parameters;
        std::u16string result;
        std::optional<simwin::Fault> fault;
        bool hexOnly = false;  // HexData's own checks
    };
    const Parameter printer = Text(u"Office Laser");
    const Case cases[] = {
        {{}, kBadCountLower, {}},
        {{printer}, kBadCountLower, {}},
        {{printer, Text(u"a"), Text(u"b")}, kBadCountLower, {}},
        {{Text(u""), Text(u"a")}, kBadFormat, {}},
        {{printer, Text(u"")}, kBadFormat, {}},
        {{Text(u"Nowhere"), Text(u"aa")}, u"!!ERROR!! Specified printer not found", {}},
        {{printer, Text(u"0d0a")}, kNotSent, simwin::Fault::SpoolWrite},
        {{printer, Text(u"0D0A")}, kNotSent, simwin::Fault::RejectJobs},
        {{printer, Text(u"0d 0a")}, kNotSent, simwin::Fault::WriteNothing},
        {{printer, Text(u"abc\u00FF\u0100")}, kNotBytes, {}},
        {{printer, Text(u"\U0001F5A8")}, kNotBytes, {}},
        {{printer, Text(u" \t\r\n")}, kBadFormat, {}, true},
        {{printer, Text(u"1B4")}, kOddDigits, {}, true},
        {{printer, Text(u"1B 4 \r\n")}, kOddDigits, {}, true},
        {{printer, Text(u"1B 4 0")}, kBlankInPair, {}, true},
        {{printer, Text(u"1\r\nB")}, kBlankInPair, {}, true},
        {{printer, Text(u"1B-40")}, kNotHex, {}, true},
        {{printer, Text(u"0x1B")}, kNotHex, {}, true},
        {{printer, Text(u"1B\u00A040")}, kNotHex, {}, true},
        {{printer, Text(u"\uFF11\uFF22")}, kNotHex, {}, true},
        {{printer, Text(std::u16string(u"1B\0" u"40", 5))}, kNotHex, {}, true},
    };
    for (const Case& c : cases) {
        for (const char16_t* function : {u"VORL_SendData", u"VORL_SendHexData"}) {
            if (c.hexOnly && function[9] != u'H') {
                continue;
            }
            const std::u16string expected = c.result == kNotBytes && function[9] == u'H' ? kNotHex : c.result;
            const std::string where = fmwrapper::Utf16ToUtf8(std::u16string(function) + u": " + expected) +
                                      " with " + std::to_string(c.parameters.size()) + " parameters";
            if (c.fault) {
                simwin::SetFault(*c.fault, true);
            }
            EXPECT_EQ(Result(function, c.parameters), expected) << where;
            if (c.fault) {
                simwin::SetFault(*c.fault, false);
            }
            EXPECT_TRUE(simwin::PrintJobs().empty()) << where;
        }
    }
}

TEST_F(FunctionsTest, AJobCancelledPartWayHasPrintedWhatWasWrittenOnlyOnAQueueThatPrintsAtOnce) {
    // The spooler takes the first 32,768 bytes, then fails: the job is
    // cancelled. Printing at once, those bytes are at the printer already;
    // spooling the whole job first, nothing is. Either way the queue keeps no job.
    const std::vector<std::uint8_t> bytes = PatternBytes(100'000);
    for (const bool immediately : {true, false}) {
        auto setup = StandardMachine();
        setup.printers[2].startPrintingImmediately = immediately;
        setup.faults = {simwin::Fault::SpoolWrite};
        simwin::ResetMachine(setup);
        EXPECT_EQ(Result(u"VORL_SendHexData", {Text(u"Label Printer"), Text(AsHex(bytes))}), kNotSent);
        EXPECT_TRUE(simwin::PrintJobs().empty());
        const std::vector<std::uint8_t> port = simwin::PortBytes(u"Label Printer");
        EXPECT_TRUE(port == (immediately ? std::vector(bytes.begin(), bytes.begin() + 32768) : std::vector<std::uint8_t>()))
            << port.size() << " bytes at the port, printing at once: " << immediately;
    }
}

// --- VORL_ChangePrinter -----------------------------------------------------------

TEST_F(FunctionsTest, ChangePrinterCountsUpToFiveParameters) {
    EXPECT_EQ(Result(u"VORL_ChangePrinter"), kBadCountLower);
    std::vector<Parameter> six = {Text(u"Office Laser"), Boolean(true), Number("0"),
                                  Boolean(false), Text(u"x"), Text(u"y")};
    EXPECT_EQ(Result(u"VORL_ChangePrinter", six), kBadCountLower);
    EXPECT_FALSE(StoredPrinter());
    six.pop_back();
    EXPECT_EQ(Result(u"VORL_ChangePrinter", six), u"0");
    EXPECT_EQ(StoredPrinter(), u"Office Laser,winspool,LPT1:");
}

TEST_F(FunctionsTest, ChangePrinterRefusesEmptyAndUnknownNamesWithoutAWatcher) {
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"")}), kBadFormat);
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Nowhere"), Boolean(true)}),
              u"!!ERROR!! Specified printer not found");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    EXPECT_FALSE(StoredPrinter());
}

TEST_F(FunctionsTest, ChangePrinterDrivesTheNextPrintDialog) {
    simwin::UiThread ui;
    simwin::PrintDialogOptions options;
    options.printers = {u"Office Laser", u"Label Printer"};
    options.selected = 0;
    simwin::PrintDialog dialog(ui, options);

    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Label Printer")}), u"0");
    EXPECT_EQ(StoredPrinter(), u"Label Printer,winspool,USB001,extra");
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), simwin::DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Label Printer");

    // With exactly two parameters: True selects and leaves the dialog open,
    // False confirms. The calendar moves only when the test moves it.
    simwin::UseManualClock(1'000'000);
    for (const bool show : {true, false}) {
        simwin::PrintDialog next(ui, options);
        EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Label Printer"), Boolean(show)}), u"0");
        ASSERT_TRUE(next.Open());
        EXPECT_TRUE(Eventually([&] { return next.SelectedPrinter() == u"Label Printer"; })) << show;
        if (show) {
            AwaitOrEnd("the watcher's end", [] { return simwin::CountHandles().runningThreads == 0; });
            ui.Invoke([] {});  // an OK sent would have arrived
        } else {
            EXPECT_TRUE(Eventually([&] {
                simwin::AdvanceClock(1);
                return !next.IsOpen();
            }));
        }
        EXPECT_EQ(next.State(), show ? simwin::DialogState::Open : simwin::DialogState::Confirmed) << show;
        EXPECT_EQ(next.SelectionChangeCount(), 1u) << show;
    }
    simwin::UseRealClock();
}

TEST_F(FunctionsTest, PrintingAfterTheSwitchPutsOnePageInTheChosenQueueOnly) {
    // The host's own Print dialog, confirmed by the watcher: the page goes to
    // the printer the script named (in another letter case), and nowhere else.
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"LABEL printer")}), u"0");
    EXPECT_EQ(session_.EvaluateLine(":print 20").output, "printed to Label Printer");
    std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].printer, u"Label Printer");
    EXPECT_EQ(jobs[0].document, u"fmhost job 1");
    EXPECT_NE(jobs[0].text.find(u"fmhost job 1"), std::u16string::npos) << "the page names its job";

    // Left open for the user, who never confirms it: cancelled, nothing printed.
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser"), Boolean(true)}), u"0");
    EXPECT_EQ(session_.EvaluateLine(":print 2").output, "cancelled");
    EXPECT_EQ(simwin::PrintJobs().size(), 1u);

    // A custom dialog titled "Print" before the Print step, closed by its
    // OK: it was sent nothing, and the Print dialog after it is confirmed.
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Label Printer")}), u"0");
    EXPECT_EQ(session_.EvaluateLine(":custom-dialog \"Print\" 1").output, "custom dialog closed by OK");
    EXPECT_EQ(session_.EvaluateLine(":print 20").output, "printed to Label Printer");
    // The watcher reports its end just after it has sent the OK, which the
    // dialog may act on first.
    EXPECT_TRUE(Eventually([&] { return Result(u"VORL_GetPrintDialogResult") == u"confirmed"; }))
        << "the watcher never reported the dialog it confirmed";
    EXPECT_EQ(simwin::PrintJobs().size(), 2u);
}

TEST_F(FunctionsTest, ASuccessfulSwitchEndsAnEarlierJobAndAFailedOneLeavesIt) {
    // A watcher waits for the dialog of VORL_ChangePrinter( "Label Printer" );
    // the script then switches again, and prints with a dialog.
    struct Case {
        std::u16string_view function;
        std::vector<Parameter> parameters;
        const char16_t* windowsDefault;
        std::u16string_view status;
        bool ended;
    };
    const Case cases[] = {
        {u"VORL_ChangePrinter", {Text(u"Nowhere")}, u"Office Laser", u"!!ERROR!! Specified printer not found", false},
        {u"VORL_ChangeForPreview", {Text(u"Portless")}, u"Office Laser", u"2", false},
        {u"VORL_SetToWindowsDefaultPrinter", {}, u"Portless", u"2", false},
        {u"VORL_ChangeForPreview", {Text(u"office LASER")}, u"Office Laser", u"0", true},
        {u"VORL_SetToWindowsDefaultPrinter", {}, u"Office Laser", u"0", true},
    };
    simwin::UiThread ui;
    simwin::PrintDialogOptions options;
    options.printers = {u"Office Laser", u"Label Printer"};
    options.selected = 0;
    simwin::UseManualClock(1'000'000);
    // VORL_GetPrintDialogResult: "none" before any job; a failed switch hands
    // over no job and leaves the job's result, an ended job is "stopped".
    const auto dialogResult = [&] { return Result(u"VORL_GetPrintDialogResult"); };
    EXPECT_EQ(dialogResult(), u"none");
    EXPECT_EQ(Result(u"VORL_GetPrintDialogResult", {Text(u"x")}), kBadCountLower);
    for (const Case& each : cases) {
        const std::string what = fmwrapper::Utf16ToUtf8(each.function) + " " + fmwrapper::Utf16ToUtf8(each.status);
        ASSERT_TRUE(simwin::SetDefaultPrinter(each.windowsDefault));
        simwin::PrintDialog dialog(ui, options);
        ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Label Printer")}), u"0");
        EXPECT_EQ(Result(each.function, each.parameters), each.status) << what;
        // The call returns once the earlier watcher has ended.
        EXPECT_EQ(simwin::CountHandles().runningThreads, each.ended ? 0u : 1u) << what;
        EXPECT_EQ(dialogResult(), each.ended ? u"stopped" : u"waiting") << what;
        ASSERT_TRUE(dialog.Open());
        if (each.ended) {
            ui.Invoke([] {});  // anything sent to the dialog has arrived
            EXPECT_EQ(dialog.State(), simwin::DialogState::Open) << what;
            EXPECT_EQ(dialog.SelectionChangeCount(), 0u) << what;
            EXPECT_EQ(dialog.SelectedPrinter(), u"Office Laser") << what;
        } else {
            EXPECT_TRUE(Eventually([&] {
                simwin::AdvanceClock(1);
                return !dialog.IsOpen();
            })) << what;
            EXPECT_EQ(dialog.ConfirmedPrinter(), u"Label Printer") << what;
        }
        AwaitOrEnd("the watcher's end", [] { return simwin::CountHandles().runningThreads == 0; });
        EXPECT_EQ(dialogResult(), each.ended ? u"stopped" : u"confirmed") << what;
    }
    simwin::UseRealClock();
}

TEST_F(FunctionsTest, ChangePrinterGivesUpOnAMutexHeldElsewhereAndStartsNoWatcher) {
    // Another process holds the hand-over's mutex for good: the call still
    // switches, and returns once five seconds have passed on the tick.
    simwin::UseManualTick();
    simwin::MutexHeldElsewhere other(u"ChangePrinteMutex");
    const std::size_t started = simwin::CountHandles().startedThreads;
    const std::uint64_t reads = simwin::TickReads();
    std::thread clock([reads] {
        if (Eventually([reads] { return simwin::TickReads() > reads; })) {
            simwin::AdvanceTick(5'001);
        }
    });
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Label Printer")}), u"0");
    clock.join();
    EXPECT_EQ(simwin::CountHandles().startedThreads, started) << "a watcher was started";
    EXPECT_EQ(StoredPrinter(), u"Label Printer,winspool,USB001,extra");
}

TEST_F(FunctionsTest, SmallConformancePoints) {
    // VORL_Version reads its option up to its first NUL, as every function does.
    EXPECT_EQ(Result(u"VORL_Version", {Text(std::u16string(u"short\0more", 10))}), u"3.0.4.13");

    // A printer added, or the default changed to a longer name, between the two
    // calls of the size pattern: the size is asked again, the answer complete.
    simwin::ChangeAfterNextSizeQuery(
        [] { simwin::AddPrinter({u"A Printer Added Meanwhile", false, u"LPT9:", u"winspool,LPT9:"}); });
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("6")}), u"A Printer Added Meanwhile");
    simwin::ChangeAfterNextSizeQuery([] { ASSERT_TRUE(simwin::SetDefaultPrinter(u"Label Printer")); });
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), u"Label Printer");
    // Printers added three times during one listing: it still lists; a
    // fourth time: the user sees the enumeration's failure text.
    for (const int times : {3, 4}) {
        int growths = 0;
        simwin::ChangeAfterNextSizeQuery(
            [&] { simwin::AddPrinter({u"Growing " + std::u16string{char16_t(u'0' + times), char16_t(u'A' + growths++)}, false, u"LPT9:", {}}); },
            times);
        EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), times == 3 ? u"Office Laser" : u"!!ERROR!! No Printers Listed");
        EXPECT_EQ(growths, times);
    }
    // The default changing to a longer name three times, then four: the
    // name, then no name rather than part of one.
    std::u16string longer(20, u'L');
    for (const int times : {3, 4}) {
        int growths = 0;
        simwin::ChangeAfterNextSizeQuery(
            [&] {
                longer += u'r';
                ++growths;
                simwin::AddPrinter({longer, false, u"LPT9:", {}});
                simwin::SetDefaultPrinter(longer.c_str());
            },
            times);
        const std::u16string name = Result(u"VORL_GetSystemPrinter");
        EXPECT_EQ(name, times == 3 ? longer : u"") << times;
        EXPECT_EQ(growths, times) << times;
    }
    simwin::ChangeAfterNextSizeQuery({});

    // Shutdown deletes the plug-in ID last: it is still alive while the
    // hand-off record is torn down (its watcher stopped, its mutex still open).
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0");
    ASSERT_TRUE(Eventually([] { return simwin::CountHandles().runningThreads == 1u; }));
    std::atomic<bool> done{false};
    bool idAliveDuringTeardown = false;
    std::thread host([&] {
        session_.Host().Shutdown();
        done = true;
    });
    while (!done) {
        if (simwin::CountHandles().runningThreads == 0 && simwin::NamedMutexExists(u"ChangePrinteMutex") &&
            fmwrapper::CountLiveObjects().quadChars == liveBefore_.quadChars + 1) {
            idAliveDuringTeardown = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host.join();
    EXPECT_TRUE(idAliveDuringTeardown) << "the plug-in ID was deleted before the teardown";
    EXPECT_EQ(session_.Host().LiveObjects(), liveBefore_);
}

// --- Host failures inside a function ----------------------------------------------

TEST_F(FunctionsTest, HostFailuresAreContainedAtTheFunctionBoundary) {
    struct Probe {
        const char16_t* name;
        std::vector<Parameter> parameters;
    };
    const Probe probes[] = {
        {u"VORL_Version", {Text(u"short")}},
        {u"VORL_GetPrinterAt", {Number("2")}},
        {u"VORL_GetPrinterList", {}},
        {u"VORL_GetSystemPrinter", {}},
        {u"VORL_SetSystemPrinter", {Text(u"Office Laser")}},
        {u"VORL_ChangeForPreview", {Text(u"Office Laser")}},
        {u"VORL_ChangePrinter", {Text(u"Office Laser"), Boolean(true), Number("3"), Boolean(true)}},
        {u"VORL_SetToWindowsDefaultPrinter", {}},
        {u"VORL_SendData", {Text(u"Office Laser"), Text(u"^XA^XZ")}},
        {u"VORL_SendHexData", {Text(u"Office Laser"), Text(u"1B 40 1D 56 00")}},
        {u"VORL_GetPrintDialogResult", {}},
    };
    for (const Probe& probe : probes) {
        const std::uint64_t before = fmwrapper::OperationCount();
        const hosting::CallOutcome clean = Call(probe.name, probe.parameters);
        ASSERT_EQ(clean.code, 0);
        const std::uint64_t operations = fmwrapper::OperationCount() - before;
        for (std::int32_t code : {1, 2}) {
            for (std::uint64_t nth = 1; nth <= operations; ++nth) {
                const fmwrapper::LiveObjects live = session_.Host().LiveObjects();
                session_.Host().FailOperation(nth, code);
                const hosting::CallOutcome failed = Call(probe.name, probe.parameters);
                fmwrapper::DisarmFailure();
                const std::string where = fmwrapper::Utf16ToUtf8(probe.name) + " op " +
                                          std::to_string(nth) + " code " + std::to_string(code);
                EXPECT_EQ(session_.Host().LiveObjects(), live) << where;
                EXPECT_EQ(failed.code, code) << where;
                // The next call works.
                EXPECT_EQ(Call(probe.name, probe.parameters).code, 0) << where;
            }
        }
    }
}

}  // namespace
}  // namespace vorelle::testing
