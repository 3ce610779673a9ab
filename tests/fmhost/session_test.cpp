// A session in-process against the test plug-in: messages, string requests,
// calls, lines, host actions, the runtime behind them.
#include <dlfcn.h>
#include <algorithm>
#include <future>
#include <cstring>
#include <gtest/gtest.h>

#include "fmhost/host_platform.h"
#include "fmhost/print_dialog_sim.h"
#include "fmhost/session.h"
#include "session_test_support.h"
#include "simwin/machine.h"
#include "simwin/spooler.h"

namespace {

using fmhost::LineOutcome;
using hosting::Parameter;
using fmhost::Session;
using fmhost_test::kTestPlugin;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fmwrapper::ResetRuntime();
        std::string error;
        ASSERT_TRUE(fmhost::PrepareMachine("", error)) << error;
        ASSERT_TRUE(session.Host().Load(kTestPlugin, error)) << error;
    }
    void TearDown() override { fmwrapper::ResetRuntime(); }

    Session session;
};

TEST_F(SessionTest, StartUpSendsTheVersionsAndReadsTheAnswer) {
    for (std::int16_t refused : {49, 256, -1, -32768}) {
        const hosting::StartupOutcome outcome = session.Host().StartUp(refused, u"Pro 11.0");
        EXPECT_TRUE(outcome.answered) << refused;
        EXPECT_EQ(outcome.answer, -1) << refused;
        EXPECT_FALSE(outcome.Accepted());
        EXPECT_FALSE(session.Host().Started());
    }
    EXPECT_TRUE(session.Host().RegistrationEvents().empty());
    for (std::int16_t accepted : {50, 255}) {
        const hosting::StartupOutcome outcome = session.Host().StartUp(accepted, u"Pro 11.0");
        EXPECT_EQ(outcome.answer, 51) << accepted;
        EXPECT_TRUE(session.Host().Started());
        session.Host().Shutdown();
    }
}

TEST_F(SessionTest, StartUpRegistersAndShutdownUnregisters) {
    ASSERT_TRUE(session.StartUp().Accepted());
    ASSERT_TRUE(fmwrapper::FindFunction(u"TEST_Echo"));
    session.Host().Shutdown();
    const auto events = session.Host().RegistrationEvents();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].kind, fmwrapper::RegistrationEvent::Kind::Register);
    EXPECT_EQ(events[2].name, u"TEST_Constant");
    EXPECT_EQ(events[3].kind, fmwrapper::RegistrationEvent::Kind::Unregister);
    EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
    EXPECT_TRUE(session.Host().Unload().empty());
}

TEST_F(SessionTest, NoAnswerIsToldApartFromAnAnswer) {
    session.Host().FailOperation(1, kFMXErrorOutOfMemory);  // the plug-in's first operation of start-up
    const hosting::StartupOutcome outcome = session.StartUp();
    EXPECT_FALSE(outcome.answered);
    EXPECT_FALSE(outcome.Accepted());
    EXPECT_EQ(fmwrapper::LastInjectedFailure()->operationName, "FM_QuadChar_Constructor2");
}

TEST_F(SessionTest, RawMessagesCarryTheInstanceAndShowWhatWasWritten) {
    const FMX_CallRecord before = session.Host().NewRecord(8);
    const std::uintptr_t instance = before.instance;  // packed: read by value
    EXPECT_EQ(instance, session.Host().Instance());
    const FMX_CallRecord after = session.Host().SendMessage(8);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_FALSE(hosting::PluginHost::ResultWritten(after));

    FMX_CallRecord record = session.Host().NewRecord(kFMXMessageStartup);
    record.interfaceVersion = 51;
    session.Host().Send(record);
    EXPECT_TRUE(hosting::PluginHost::ResultWritten(record));
    EXPECT_EQ(static_cast<std::int32_t>(record.result), 51);
    session.Host().Shutdown();
}

TEST_F(SessionTest, TheInstanceIsThePluginsLoadAddress) {
    void* handle = dlopen(kTestPlugin.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(dlsym(handle, "FMExternCallProc"), &info), 0);
    EXPECT_EQ(session.Host().Instance(), reinterpret_cast<std::uintptr_t>(info.dli_fbase));
    dlclose(handle);
}

TEST_F(SessionTest, StringRequestsGiveTheBufferWithinItsSize) {
    hosting::StringReply reply = session.Host().RequestString(131);
    EXPECT_EQ(reply.text, u"TEST1nnYYnn");
    EXPECT_TRUE(reply.terminated);
    EXPECT_FALSE(reply.overran);
    reply = session.Host().RequestString(128, 5);
    EXPECT_EQ(reply.text, u"Test");
    EXPECT_TRUE(reply.terminated);
    reply = session.Host().RequestString(128, 0);
    EXPECT_EQ(reply.text, u"");
    EXPECT_FALSE(reply.overran);
    reply = session.Host().RequestString(77);
    EXPECT_EQ(reply.text, u"");
    EXPECT_FALSE(reply.overran);
}

TEST_F(SessionTest, AStringWrittenPastTheBufferIsNoticed) {
    EXPECT_FALSE(session.Host().RequestString(200, 4).overran);
    EXPECT_TRUE(session.Host().RequestString(200, 3).overran);
    const LineOutcome line = session.EvaluateLine(":string 200 2");
    ASSERT_EQ(line.warnings.size(), 2u);
    EXPECT_NE(line.warnings[0].find("past the 2-unit buffer"), std::string::npos);
    EXPECT_NE(line.warnings[1].find("not terminated"), std::string::npos);
}

TEST_F(SessionTest, CallsPassExactlyTheTypedParameters) {
    ASSERT_TRUE(session.StartUp().Accepted());
    const auto outcome =
        session.Call(u"test_echo", {Parameter::OfText(u"Caf\u00E9 \U0001F5A8"), Parameter::OfNumber("-2.7"),
                                    Parameter::OfBoolean(true)});
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->code, 0);
    EXPECT_TRUE(outcome->resultWritten);
    EXPECT_EQ(outcome->resultWrites, 1u);
    EXPECT_EQ(outcome->resultText, u"Caf\u00E9 \U0001F5A8/0/false|-2.7/-2/true|1/1/true");
    EXPECT_EQ(outcome->nativeType, 1);
    EXPECT_TRUE(outcome->resultWithOwnLocale);

    std::string error;
    EXPECT_FALSE(session.Call(u"TEST_Nothing", {}, &error));
    EXPECT_NE(error.find("TEST_Nothing"), std::string::npos);
    EXPECT_FALSE(session.Call(u"TEST_Echo", {Parameter::OfNumber("1x")}, &error));
    EXPECT_NE(error.find("1x"), std::string::npos);
}

TEST_F(SessionTest, AFunctionsErrorCodeIsReportedAndTheSessionGoesOn) {
    ASSERT_TRUE(session.StartUp().Accepted());
    LineOutcome line = session.EvaluateLine("TEST_Fail");
    EXPECT_EQ(line.kind, LineOutcome::Kind::Call);
    EXPECT_TRUE(line.FunctionFailed());
    EXPECT_EQ(line.call->code, 7);
    EXPECT_FALSE(line.call->resultWritten);
    EXPECT_EQ(line.output, "");
    ASSERT_EQ(line.warnings.size(), 1u);
    EXPECT_NE(line.warnings[0].find("error code 7 and wrote no result"), std::string::npos);
    line = session.EvaluateLine("TEST_Constant");
    EXPECT_EQ(line.output, "constant");
    EXPECT_FALSE(line.FunctionFailed());
}

TEST_F(SessionTest, CountsOutsideTheRegisteredRangeAreWarnedAboutAndPassed) {
    ASSERT_TRUE(session.StartUp().Accepted());
    LineOutcome line = session.EvaluateLine("TEST_Echo( 1 ; 2 ; 3 ; 4 )");
    EXPECT_EQ(line.output, "1/1/true|2/2/true|3/3/true|4/4/true");
    ASSERT_EQ(line.warnings.size(), 1u);
    EXPECT_NE(line.warnings[0].find("registered for 0..3 parameters; passing 4"), std::string::npos);
    line = session.EvaluateLine("TEST_Constant( \"x\" )");
    EXPECT_EQ(line.output, "constant");
    EXPECT_EQ(line.warnings.size(), 1u);
    line = session.EvaluateLine("TEST_Echo");
    EXPECT_EQ(line.output, "");
    EXPECT_TRUE(line.warnings.empty());
}

TEST_F(SessionTest, UnknownFunctionsActionsAndBadLinesAreErrors) {
    ASSERT_TRUE(session.StartUp().Accepted());
    for (const char* bad : {"VORL_Nothing", "TEST_Echo( 1", ":nothing", ":string", ":string 256",
                            ":string 1 -1", ":print x", ":print-setup 1 2", ":preference 1", ":message 300", ":fail 0:1",
                            ":fail 1:0", ":idle now", ":remove-printer", ":remove-printer Nowhere", ":custom-dialog",
                            ":custom-dialog 3", ":custom-dialog Print", ":custom-dialog Print -1"}) {
        const LineOutcome line = session.EvaluateLine(bad);
        EXPECT_EQ(line.kind, LineOutcome::Kind::Error) << bad;
        EXPECT_FALSE(line.error.empty()) << bad;
        EXPECT_FALSE(line.output) << bad;
    }
    EXPECT_EQ(session.EvaluateLine("# TEST_Echo").kind, LineOutcome::Kind::Nothing);
}

TEST_F(SessionTest, FailActionMakesTheRuntimeFailInsideTheNextCall) {
    ASSERT_TRUE(session.StartUp().Accepted());
    const fmwrapper::LiveObjects before = session.Host().LiveObjects();
    EXPECT_EQ(session.EvaluateLine(":fail 1:2").kind, LineOutcome::Kind::Action);
    const LineOutcome line = session.EvaluateLine("TEST_Echo( \"a\" )");
    EXPECT_EQ(line.call->code, 5);
    EXPECT_FALSE(line.call->resultWritten);
    EXPECT_EQ(fmwrapper::LastInjectedFailure()->operationName, "FM_DataVect_Size");
    EXPECT_EQ(session.Host().LiveObjects(), before);
    EXPECT_EQ(session.EvaluateLine(":fail 3 1").kind, LineOutcome::Kind::Action);
    EXPECT_TRUE(fmwrapper::FailureArmed());
    fmwrapper::DisarmFailure();
}

TEST_F(SessionTest, UnloadDropsFunctionsThePluginLeftRegistered) {
    ASSERT_TRUE(session.Host().StartUp(51, u"LeaveRegistered 11.0").Accepted());
    session.Host().Shutdown();
    ASSERT_TRUE(fmwrapper::FindFunction(u"TEST_Constant"));
    const auto leftOver = session.Host().Unload();
    ASSERT_EQ(leftOver.size(), 1u);
    EXPECT_EQ(leftOver[0].id, 3);
    EXPECT_FALSE(fmwrapper::FindFunction(u"TEST_Constant"));
    EXPECT_FALSE(session.Host().Loaded());
}

TEST_F(SessionTest, PreferenceReadsTheKeyOfTheHostVersion) {
    // The sample machine has the 11.0A key with a "Printer" value.
    session.Settings().hostVersion = u"ProAdvanced 11.0v3";
    const LineOutcome line = session.EvaluateLine(":preference");
    ASSERT_TRUE(line.output);
    EXPECT_NE(*line.output, "(none)");
    EXPECT_EQ(*line.output, fmwrapper::Utf16ToUtf8(*fmhost::ReadPrinterPreference(
                                u"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences")));
    session.Settings().hostVersion = u"Pro 11.0v3";  // no such key on the sample machine
    EXPECT_EQ(session.EvaluateLine(":preference").output, "(none)");
    session.Settings().hostVersion = u"Pro 12";  // no key for this version at all
    EXPECT_EQ(session.EvaluateLine(":preference").output, "(none)");
}

TEST_F(SessionTest, RemovePrinterTakesItOffTheMachineAndTheNextPrintDialog) {
    EXPECT_EQ(session.EvaluateLine(":remove-printer office LASER").output, "removed office LASER");
    const std::vector<std::u16string> listed = fmhost::MachinePrintDialog({}).printers;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), u"Office Laser"), 0);
    EXPECT_FALSE(listed.empty());
}

TEST_F(SessionTest, PrintReportsTheConfirmedPrinterOrCancels) {
    EXPECT_EQ(session.EvaluateLine(":print 0").output, "cancelled");
    for (const char* language : {"en", "fr", "es"}) {
        session.Settings().dialog = *hosting::DialogTextsFor(language);
        const auto printers = simwin::Printers();
        ASSERT_GE(printers.size(), 2u);
        const std::u16string wanted = printers[1].name;
        fmhost_test::DialogUser user(session.Settings().dialog.caption,
                                     session.Settings().dialog.nameLabel, wanted);
        const LineOutcome line = session.EvaluateLine(":print 10");
        EXPECT_EQ(line.output, "printed to " + fmwrapper::Utf16ToUtf8(wanted)) << language;
    }
    EXPECT_EQ(simwin::PrintJobs().size(), 3u);

    // The system's own template: the printer box cmb4 before its label.
    session.Settings().printTemplate = fmhost::PrintTemplate::System;
    {
        const std::u16string wanted = simwin::Printers()[0].name;
        fmhost_test::DialogUser user(session.Settings().dialog.caption, session.Settings().dialog.nameLabel,
                                     wanted);
        EXPECT_EQ(session.EvaluateLine(":print 10").output, "printed to " + fmwrapper::Utf16ToUtf8(wanted));
        EXPECT_TRUE(user.ComboBeforeLabel());
        EXPECT_EQ(user.ComboId(), 0x0473);
    }
    session.Settings().printTemplate = fmhost::PrintTemplate::Host;
    ASSERT_EQ(simwin::PrintJobs().size(), 4u);

    // The chosen printer is gone by the time the dialog is confirmed: the page
    // reaches no queue, and the line says so.
    const std::u16string gone = simwin::Printers()[1].name;
    fmhost_test::DialogUser user(session.Settings().dialog.caption, session.Settings().dialog.nameLabel,
                                 gone, [&] { ASSERT_TRUE(simwin::RemovePrinter(gone)); });
    EXPECT_EQ(session.EvaluateLine(":print 10").output,
              "not printed to " + fmwrapper::Utf16ToUtf8(gone) + ": the spooler refused the job, error 1801");
    EXPECT_EQ(simwin::PrintJobs().size(), 4u);
}

TEST_F(SessionTest, PrintSetupReportsTheConfirmedPrinterOrCancels) {
    EXPECT_EQ(session.EvaluateLine(":print-setup 0").output, "cancelled");
    const std::u16string wanted = simwin::Printers()[1].name;
    fmhost_test::DialogUser user(u"Print Setup", u"&Name:", wanted);
    EXPECT_EQ(session.EvaluateLine(":print-setup 10").output,
              "print setup confirmed: " + fmwrapper::Utf16ToUtf8(wanted));
    EXPECT_FALSE(user.ComboBeforeLabel());
    EXPECT_EQ(user.ComboId(), 0x0470);  // cmb1: a Print Setup dialog has no cmb4
    EXPECT_TRUE(simwin::PrintJobs().empty());
}

TEST_F(SessionTest, CustomDialogShowsItsCaptionMessageAndOkForItsSecondsAndTellsWhatItWasSent) {
    simwin::WindowManager& windows = simwin::WindowManager::Instance();
    const auto start = std::chrono::steady_clock::now();
    auto shown = std::async(std::launch::async, [&] { return session.EvaluateLine(":custom-dialog \"Print now\" 1"); });
    // As Show Custom Dialog shows one: its caption, its message and OK; no printer box.
    simwin::Hwnd dialog = 0;
    ASSERT_TRUE(test_support::Eventually([&] {
        dialog = windows.Find(0, 0, simwin::ClassRef::ByAtom(simwin::kDialogClassAtom), u"Print now");
        return dialog != 0 && windows.Children(dialog).size() == 2;
    })) << "no custom dialog came up";
    const std::vector<simwin::Hwnd> children = windows.Children(dialog);
    EXPECT_EQ(windows.ClassName(children[0]), u"Static");
    EXPECT_EQ(windows.Title(children[0]), fmhost::kCustomDialogMessage);
    EXPECT_EQ(windows.ClassName(children[1]), u"Button");
    EXPECT_EQ(windows.ControlId(children[1]), simwin::kIdOk);
    // What another program sends it is told.
    windows.Send(dialog, simwin::kWmCommand, 0x10473, 0);
    ASSERT_EQ(shown.wait_for(test_support::kWaitBound), std::future_status::ready) << "never closed";
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "closed before its time";
    EXPECT_EQ(shown.get().output, "custom dialog closed by OK; sent from elsewhere: WM_COMMAND 0x10473");
    EXPECT_FALSE(windows.IsWindow(dialog));
    EXPECT_EQ(session.EvaluateLine(":custom-dialog Print 0").output, "custom dialog closed by OK");
}

}  // namespace
