#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "platform/spooler.h"
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

// --- VORL_SendData ------------------------------------------------------------------

const std::u16string kNotSent = u"!!ERROR!! Data not sent: the printer's queue did not take the whole job";

TEST_F(FunctionsTest, SendDataDeliversEveryByteValueInOrderAsOneRawJob) {
    // Every byte value, a thousand times over: more than three 64 KiB chunks.
    std::u16string data;
    std::vector<std::uint8_t> bytes;
    for (int round = 0; round < 1000; ++round) {
        for (int value = 0; value < 256; ++value) {
            data.push_back(static_cast<char16_t>(value));
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    EXPECT_EQ(Result(u"VORL_SendData", {Text(u"label PRINTER"), Text(data)}), u"0");
    const std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].printer, u"Label Printer");
    EXPECT_EQ(jobs[0].document, u"Vorelle VORL_SendData");
    EXPECT_EQ(jobs[0].datatype, u"RAW");
    EXPECT_TRUE(jobs[0].bytes == bytes) << jobs[0].bytes.size() << " bytes arrived of 256000";
}

TEST_F(FunctionsTest, SendDataAsAScriptWritesItAndTheQueueThatShowsIt) {
    EXPECT_EQ(session_.EvaluateLine("VORL_SendData( \"Label Printer\" ; \"^XA\xC2\xB6\" & Char( 10 ) & "
                                    "Char( 27 ) & Char(0) & Char( 233 ) & \"^XZ\" )").output, "0");
    EXPECT_EQ(session_.EvaluateLine(":queue label PRINTER").output,
              "job 1 \"Vorelle VORL_SendData\" RAW 11 bytes: ^XA<U+000D><U+000A><U+001B><U+0000>\xC3\xA9^XZ");
    EXPECT_EQ(session_.EvaluateLine(":queue Fax").error, "the machine has no printer Fax");
    EXPECT_EQ(session_.EvaluateLine(":queue Portless").output, "no jobs");
}

TEST_F(FunctionsTest, SendDataRefusalsAndFailuresLeaveNoJob) {
    struct Case {
        std::vector<Parameter> parameters;
        std::u16string result;
        std::optional<simwin::Fault> fault;
    };
    const std::u16string notBytes = u"!!ERROR!! Data holds a character above U+00FF; nothing was sent";
    const Parameter printer = Text(u"Office Laser");
    const Case cases[] = {
        {{}, kBadCountLower, {}},
        {{printer}, kBadCountLower, {}},
        {{printer, Text(u"a"), Text(u"b")}, kBadCountLower, {}},
        {{Text(u""), Text(u"a")}, kBadFormat, {}},
        {{printer, Text(u"")}, kBadFormat, {}},
        {{printer, Text(u"abc\u00FF\u0100")}, notBytes, {}},
        {{printer, Text(u"\U0001F5A8")}, notBytes, {}},
        {{Text(u"Nowhere"), Text(u"a")}, u"!!ERROR!! Specified printer not found", {}},
        {{printer, Text(u"half of it")}, kNotSent, simwin::Fault::SpoolWrite},
        {{printer, Text(u"all of it")}, kNotSent, simwin::Fault::RejectJobs},
    };
    for (const Case& c : cases) {
        const std::string where = fmwrapper::Utf16ToUtf8(c.result) + " with " +
                                  std::to_string(c.parameters.size()) + " parameters";
        if (c.fault) {
            simwin::SetFault(*c.fault, true);
        }
        EXPECT_EQ(Result(u"VORL_SendData", c.parameters), c.result) << where;
        if (c.fault) {
            simwin::SetFault(*c.fault, false);
        }
        EXPECT_TRUE(simwin::PrintJobs().empty()) << where;
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
}

TEST_F(FunctionsTest, AFailedSwitchLeavesAnEarlierWatcherRunning) {
    simwin::UiThread ui;
    simwin::PrintDialogOptions options;
    options.printers = {u"Office Laser", u"Label Printer"};
    simwin::PrintDialog dialog(ui, options);

    // VORL_GetPrintDialogResult: "none" before any job; a failed switch hands
    // over no job and leaves the result of the last one.
    const auto dialogResult = [&] { return Result(u"VORL_GetPrintDialogResult"); };
    EXPECT_EQ(dialogResult(), u"none");
    EXPECT_EQ(Result(u"VORL_GetPrintDialogResult", {Text(u"x")}), kBadCountLower);
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Label Printer"), Boolean(true)}), u"0");
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Nowhere")}),
              u"!!ERROR!! Specified printer not found");
    EXPECT_EQ(dialogResult(), u"waiting");
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Office Laser")}), u"0");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 1u);
    ASSERT_TRUE(dialog.Open());
    EXPECT_TRUE(Eventually([&] { return dialog.SelectedPrinter() == u"Label Printer"; }));
    EXPECT_TRUE(Eventually([] { return simwin::CountHandles().runningThreads == 0; }));
    EXPECT_EQ(StoredPrinter(), u"Office Laser,winspool,LPT1:");
    EXPECT_EQ(dialogResult(), u"selected");
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Nowhere"), Boolean(true)}),
              u"!!ERROR!! Specified printer not found");
    EXPECT_EQ(dialogResult(), u"selected");
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
        session_.Shutdown();
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
    EXPECT_EQ(session_.LiveObjects(), liveBefore_);
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
        {u"VORL_GetSystemPrinter", {}},
        {u"VORL_SetSystemPrinter", {Text(u"Office Laser")}},
        {u"VORL_ChangeForPreview", {Text(u"Office Laser")}},
        {u"VORL_ChangePrinter", {Text(u"Office Laser"), Boolean(true), Number("3"), Boolean(true)}},
        {u"VORL_SetToWindowsDefaultPrinter", {}},
        {u"VORL_SendData", {Text(u"Office Laser"), Text(u"^XA^XZ")}},
        {u"VORL_GetPrintDialogResult", {}},
    };
    for (const Probe& probe : probes) {
        const std::uint64_t before = fmwrapper::OperationCount();
        const fmhost::CallOutcome clean = Call(probe.name, probe.parameters);
        ASSERT_EQ(clean.code, 0);
        const std::uint64_t operations = fmwrapper::OperationCount() - before;
        for (std::int32_t code : {1, 2}) {
            for (std::uint64_t nth = 1; nth <= operations; ++nth) {
                const fmwrapper::LiveObjects live = session_.LiveObjects();
                session_.FailOperation(nth, code);
                const fmhost::CallOutcome failed = Call(probe.name, probe.parameters);
                fmwrapper::DisarmFailure();
                const std::string where = fmwrapper::Utf16ToUtf8(probe.name) + " op " +
                                          std::to_string(nth) + " code " + std::to_string(code);
                EXPECT_EQ(session_.LiveObjects(), live) << where;
                EXPECT_EQ(failed.code, code) << where;
                // The next call works.
                EXPECT_EQ(Call(probe.name, probe.parameters).code, 0) << where;
            }
        }
    }
}

}  // namespace
}  // namespace vorelle::testing
