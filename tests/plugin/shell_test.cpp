#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>

#include "host_fixture.h"
#include "shell/function_table.h"
#include "sim_platform/failure_trace.h"

namespace vorelle::testing {
namespace {

class ShellTest : public HostTest {};

const std::int16_t kRegisteredIds[] = {144, 145, 146, 147, 148, 149, 158, 159, 160, 161, 172};

TEST_F(ShellTest, InterfaceVersionGate) {
    struct Case {
        std::int16_t version;
        std::int32_t answer;
    };
    for (const Case c : {Case{49, -1}, Case{50, 51}, Case{255, 51}, Case{256, -1}, Case{-1, -1},
                         Case{-32768, -1}, Case{32767, -1}, Case{0, -1}}) {
        const hosting::StartupOutcome outcome = session_.Host().StartUp(c.version, u"ProAdvanced 11.0v3");
        ASSERT_TRUE(outcome.answered) << c.version;
        EXPECT_EQ(outcome.answer, c.answer) << c.version;
        if (c.answer == -1) {
            EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty()) << c.version;
        }
        ShutDown();
        EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
    }
}

TEST_F(ShellTest, ARefusedStartUpCreatesNothingAndItsShutdownDoesNotWait) {
    ASSERT_FALSE(session_.Host().StartUp(49, u"ProAdvanced 11.0v3").Accepted());
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));
    const auto start = std::chrono::steady_clock::now();
    ShutDown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(ShellTest, StartUpRegistersEveryFunctionInOrder) {
    StartUp();
    struct Row {
        std::int16_t id;
        std::u16string name;
        std::u16string prototype;
        std::int16_t min, max;
    };
    const Row rows[] = {
        {144, u"VORL_Version", u"VORL_Version( optType )", 0, 1},
        {145, u"VORL_ChangePrinter",
         u"VORL_ChangePrinter( PrinerName ;  optShowDlg ; optPause ) /* Pass True in optShowDlg "
         u"to require the user to press 'OK' in the next Print dialog.  Default is False */ ",
         1, 4},
        {146, u"VORL_GetPrinterAt", u"VORL_GetPrinterAt( index )", 1, 1},
        {147, u"VORL_SetToWindowsDefaultPrinter", u"VORL_SetToWindowsDefaultPrinter", 0, 0},
        {148, u"VORL_SendData", u"VORL_SendData( PrinterName ; Data )", 2, 2},
        {149, u"VORL_SendHexData", u"VORL_SendHexData( PrinterName ; HexData )", 2, 2},
        {158, u"VORL_SetSystemPrinter", u"VORL_SetSystemPrinter( PrinterName )", 1, 1},
        {159, u"VORL_GetSystemPrinter", u"VORL_GetSystemPrinter", 0, 0},
        {160, u"VORL_GetPrintDialogResult", u"VORL_GetPrintDialogResult", 0, 0},
        {161, u"VORL_GetPrinterList", u"VORL_GetPrinterList", 0, 0},
        {172, u"VORL_ChangeForPreview", u"VORL_ChangeForPreview( PrinterName )", 1, 1},
    };
    const auto events = session_.Host().RegistrationEvents();
    ASSERT_EQ(events.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(events[i].kind, fmwrapper::RegistrationEvent::Kind::Register);
        EXPECT_EQ(events[i].pluginId, "VORL");
        EXPECT_EQ(events[i].id, rows[i].id);
        EXPECT_EQ(events[i].name, rows[i].name);
        EXPECT_EQ(events[i].prototype, rows[i].prototype);
        EXPECT_EQ(events[i].minParameters, rows[i].min);
        EXPECT_EQ(events[i].maxParameters, rows[i].max);
        EXPECT_EQ(events[i].flags, 0xFF01u);
    }
}

// What a less forgiving host would refuse: a deletion past the end of a text
// (the name of a prototype with no "(" is the whole prototype), a read of a
// parameter beyond the count a function was given (every count from none to
// two beyond its maximum).
TEST_F(ShellTest, HostCallsStayWithinTheTextsAndParametersTheyAddress) {
    fmwrapper::LogCalls(true);
    StartUp();
    for (const fmwrapper::RegisteredFunction& function : fmwrapper::RegisteredFunctions()) {
        std::vector<Parameter> parameters;
        for (int count = 0; count <= function.maxParameters + 2; ++count) {
            Call(function.name, parameters);
            parameters.push_back(Text(u"Office Laser"));
        }
    }
    fmwrapper::LogCalls(false);
    std::size_t wholeNames = 0;
    for (const fmwrapper::LoggedCall& call : fmwrapper::CallLog()) {
        if (call.operation == "FM_Text_DeleteText") {
            wholeNames += call.position >= call.size ? 1 : 0;
            EXPECT_LE(call.count, call.position < call.size ? call.size - call.position : 0)
                << "a deletion past the end of a text of " << call.size << " at " << call.position;
        } else {
            EXPECT_LT(call.position, call.size) << call.operation << " beyond the parameters";
        }
    }
    EXPECT_EQ(wholeNames, 4u) << "VORL_SetToWindowsDefaultPrinter, VORL_GetSystemPrinter, "
                                 "VORL_GetPrintDialogResult and VORL_GetPrinterList, the prototypes with no \"(\"";
}

TEST_F(ShellTest, ARefusedRegistrationDoesNotStopTheRest) {
    fmwrapper::RefuseRegistration(145, 1);
    StartUp();
    EXPECT_FALSE(fmwrapper::FindFunction(u"VORL_ChangePrinter"));
    EXPECT_EQ(Result(u"VORL_GetSystemPrinter"), u"Office Laser");
    fmwrapper::RefuseRegistration(145, 0);
}

TEST_F(ShellTest, ShutdownUnregistersEveryRegisteredFunctionAndNothingElse) {
    StartUp();
    const std::size_t registrations = session_.Host().RegistrationEvents().size();
    ShutDown();
    const auto events = session_.Host().RegistrationEvents();
    std::vector<std::int16_t> unregistered;
    for (std::size_t i = registrations; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, fmwrapper::RegistrationEvent::Kind::Unregister);
        EXPECT_EQ(events[i].pluginId, "VORL");
        unregistered.push_back(events[i].id);
    }
    EXPECT_EQ(unregistered, std::vector<std::int16_t>(std::begin(kRegisteredIds),
                                                      std::end(kRegisteredIds)));
    EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
}

TEST_F(ShellTest, ShutdownWithNoWatcherEverStartedSleepsOnce) {
    StartUp();
    const auto start = std::chrono::steady_clock::now();
    ShutDown();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(500));
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));
}

TEST_F(ShellTest, UnloadingWithoutShutdownWhileAWatcherRunsNeverWaitsAndKeepsItsCodeLoaded) {
    StartUp();
    simwin::UseManualTick();
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0");
    const std::uint64_t reads = simwin::TickReads();
    ASSERT_TRUE(Eventually([&] { return simwin::TickReads() > reads + 50; })) << "no watcher searches";
    const auto isLoaded = [] {
        void* library = dlopen(VORELLE_PLUGIN_PATH, RTLD_LAZY | RTLD_NOLOAD);
        if (library != nullptr) {
            dlclose(library);
        }
        return library != nullptr;
    };
    // The host unloads the library with no shutdown message: nothing waits,
    // and the searching watcher's own reference keeps the library mapped.
    const auto start = std::chrono::steady_clock::now();
    session_.Host().Unload();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(isLoaded()) << "unmapped under a running watcher";
    // The watcher gives up and lets go of the library as its last act; the
    // record is then let go of without waiting, on the watcher's thread.
    simwin::AdvanceTick(20'001);
    EXPECT_TRUE(Eventually([&] { return simwin::CountHandles().runningThreads == 0u && !isLoaded(); }))
        << "the library stayed loaded after its watcher ended";
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));
    simwin::UseRealTick();
}

TEST_F(ShellTest, OtherMessagesLeaveTheRecordUntouched) {
    StartUp();
    for (int code = 1; code <= 255; ++code) {
        if (code == 4 || code == 7) {
            continue;
        }
        FMX_CallRecord record = session_.Host().NewRecord(static_cast<std::uint8_t>(code));
        record.param1 = 131;
        record.param2 = 0x1234;
        record.param3 = 16;
        const FMX_CallRecord before = record;
        session_.Host().Send(record);
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << "message " << code;
    }
    // Still started: the functions answer.
    EXPECT_EQ(Result(u"VORL_Version"), u"Vorelle 3.0.4.3");
}

TEST_F(ShellTest, StringRequestsByIdWithOrWithoutStartUp) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(session_.Host().RequestString(131).text, u"VORL1nnYYnn");
        EXPECT_EQ(session_.Host().RequestString(1).text, u"VORL1nnYYnn");
        EXPECT_EQ(session_.Host().RequestString(128).text, u"Vorelle");
        EXPECT_EQ(session_.Host().RequestString(129).text,
                  u"This plug-in allows you to dynamically change printers.");
        EXPECT_EQ(session_.Host().RequestString(147).text, u"VORL_SetToWindowsDefaultPrinter");
        EXPECT_EQ(session_.Host().RequestString(159).text, u"VORL_GetSystemPrinter");
        for (std::uint8_t absent : {0, 2, 130, 152, 255}) {
            EXPECT_EQ(session_.Host().RequestString(absent).text, u"") << int(absent);
        }
        ASSERT_FALSE(session_.Host().StartUp(300, u"x").Accepted());  // refused: still answered
    }
}

TEST_F(ShellTest, StringRequestsNeverWritePastTheBuffer) {
    const hosting::StringReply five = session_.Host().RequestString(128, 5);
    EXPECT_EQ(five.text, u"Vore");
    EXPECT_TRUE(five.terminated);
    EXPECT_FALSE(five.overran);

    const hosting::StringReply one = session_.Host().RequestString(128, 1);
    EXPECT_EQ(one.text, u"");
    EXPECT_TRUE(one.terminated);
    EXPECT_FALSE(one.overran);

    const hosting::StringReply none = session_.Host().RequestString(128, 0);
    EXPECT_FALSE(none.overran);
    EXPECT_FALSE(none.terminated);

    const hosting::StringReply exact = session_.Host().RequestString(128, 8);
    EXPECT_EQ(exact.text, u"Vorelle");
    EXPECT_FALSE(exact.overran);
    const hosting::StringReply whole = session_.Host().RequestString(146, 2000);
    EXPECT_EQ(whole.text, u"VORL_GetPrinterAt( index )");
    EXPECT_FALSE(whole.overran);
}

TEST_F(ShellTest, AHostFailureInStartUpIsContainedAtEveryStepAndLeavesNothingBehind) {
    // How many runtime operations one start-up makes.
    const std::uint64_t before = fmwrapper::OperationCount();
    StartUp();
    const std::uint64_t operations = fmwrapper::OperationCount() - before;
    ShutDown();
    ASSERT_GT(operations, 20u);

    // Once, and twice in a row: the second failure then hits the undoing,
    // which tries each of its host operations once more.
    for (std::uint64_t times : {1u, 2u}) {
        for (std::int32_t code : {1, 2}) {
            for (std::uint64_t nth = 1; nth <= operations; ++nth) {
                const std::string where = "failure " + std::to_string(code) + " at operation " + std::to_string(nth) +
                                          ", " + std::to_string(times) + " time(s)";
                fmwrapper::ResetRuntime();
                session_.Host().FailOperation(nth, code, times);
                const hosting::StartupOutcome outcome = session_.Host().StartUp(51, u"ProAdvanced 11.0v3");
                EXPECT_FALSE(fmwrapper::FailureArmed()) << where << ": not all failures fired";
                fmwrapper::DisarmFailure();
                EXPECT_FALSE(outcome.answered) << where;
                EXPECT_EQ(session_.Host().LiveObjects(), liveBefore_) << where;
                // Not answered, so not started for the host, which may now
                // unload the library: nothing of the start-up stays behind.
                EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty()) << where << ": a function stayed registered";
                EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex")) << where;
                EXPECT_EQ(simwin::CountHandles().kernel(), before_.kernel()) << where;
                const auto start = std::chrono::steady_clock::now();
                ShutDown();
                EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400))
                    << where << ": a shutdown found something to wait for";
            }
        }
    }
    // And the plug-in starts normally afterwards.
    fmwrapper::ResetRuntime();
    StartUp();
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"Office Laser");
}

TEST_F(ShellTest, AHostFailureInShutdownStillUnregistersAndTearsDown) {
    // Shutdown's operations: the plug-in ID, then one per attempt to
    // unregister a row, in the order of registration. A failure once is
    // tried again; a row failed twice stays registered, and no other; an ID
    // failed twice leaves every row (nothing can be unregistered without it).
    StartUp();
    std::vector<std::int16_t> rows;
    for (const fmwrapper::RegistrationEvent& event : session_.Host().RegistrationEvents()) {
        rows.push_back(event.id);
    }
    ShutDown();
    for (const std::uint64_t times : {1u, 2u}) {
        for (std::uint64_t nth = 1; nth <= rows.size() + 3; ++nth) {
            fmwrapper::ResetRuntime();
            StartUp();
            session_.Host().FailOperation(nth, 2, times);
            ShutDown();
            fmwrapper::DisarmFailure();
            std::set<std::int16_t> left;
            for (const fmwrapper::RegisteredFunction& function : fmwrapper::RegisteredFunctions()) {
                left.insert(function.id);
            }
            std::set<std::int16_t> expected;
            if (times == 2 && nth <= rows.size() + 1) {
                expected = nth == 1 ? std::set(rows.begin(), rows.end()) : std::set{rows[nth - 2]};
            }
            EXPECT_EQ(left, expected) << "operation " << nth << " failing " << times << " times";
            EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex")) << nth;
        }
    }
    // The ID failed twice while a watcher searches: no thread is left, no
    // handle open.
    fmwrapper::ResetRuntime();
    StartUp();
    EXPECT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 1u);
    session_.Host().FailOperation(1, 2, 2);
    ShutDown();
    fmwrapper::DisarmFailure();
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u) << "the watcher outlived the shutdown";
    ExpectNothingLeftOpen();
    // The unregistration traces a row failed twice.
    fmwrapper::ResetRuntime();
    StartUp();
    FMX_ErrorRecord err{1, 0};
    FMX_QuadChar* id = FM_QuadChar_Constructor2('V', 'O', 'R', 'L', &err);
    (void)platform::sim::TakeTracedFailures();
    session_.Host().FailOperation(1, 1, 2);
    shell::UnregisterFunctionTable(id, shell::kFunctionTable.size());
    const auto traced = platform::sim::TakeTracedFailures();
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_EQ(fmwrapper::Utf16ToUtf8(traced[0].call) + " " + std::to_string(traced[0].errorCode),
              "FM_ExprEnv_UnRegisterExternalFunction " + std::to_string(rows[0]) + " 1");
    FM_QuadChar_Delete(id, &err);
    ShutDown();
    fmwrapper::ResetRuntime();
}

}  // namespace
}  // namespace vorelle::testing
