// The host's runtime failing its Nth operation with code 1 (out of memory)
// or 2 (general failure), for every N that a shutdown with a watcher running
// and a hand-over to a new watcher reach: the teardown still completes, a
// hand-over hit by a failure leaves at most one watcher and the host's
// printer preference on the old or the new printer, never anything else.
#include <gtest/gtest.h>

#include "tests/plugin/host_fixture.h"

namespace vorelle::testing {
namespace {

const std::u16string kOfficeLaser = u"Office Laser,winspool,LPT1:";
const std::u16string kLabelPrinter = u"Label Printer,winspool,USB001,extra";

class HostFailureSweepTest : public HostTest {
protected:
    std::u16string Preference() const {
        const auto value = simwin::GetValue(kPreferences11A, u"Printer");
        return value ? value->Text() : u"(none)";
    }

    // Operations the runtime counts while `step` runs.
    template <typename Step>
    static std::uint64_t OperationsOf(Step&& step) {
        const std::uint64_t before = fmwrapper::OperationCount();
        step();
        return fmwrapper::OperationCount() - before;
    }
};

TEST_F(HostFailureSweepTest, AShutdownHitAtAnyOperationStillStopsTheWatcherAndUnregisters) {
    StartUp();
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0");
    const std::uint64_t operations = OperationsOf([&] { ShutDown(); });
    ASSERT_GE(operations, 10u);  // the plug-in ID, the unregistrations, its deletion

    for (std::int32_t code : {1, 2}) {
        for (std::uint64_t nth = 1; nth <= operations; ++nth) {
            const std::string where = "code " + std::to_string(code) + " at " + std::to_string(nth);
            StartUp();
            // A watcher searching for a dialog: the shutdown has to stop it.
            ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0") << where;
            session_.Host().FailOperation(nth, code);
            ShutDown();
            EXPECT_FALSE(fmwrapper::FailureArmed()) << where << ": the failure never fired";
            fmwrapper::DisarmFailure();
            const simwin::HandleCounts handles = simwin::CountHandles();
            EXPECT_EQ(handles.runningThreads, 0u) << where;
            EXPECT_EQ(handles.kernel(), before_.kernel()) << where;
            EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty()) << where;
            EXPECT_EQ(session_.Host().LiveObjects(), liveBefore_) << where;
        }
    }
    // And it starts again as if nothing had happened.
    StartUp();
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"Office Laser");
}

TEST_F(HostFailureSweepTest, AHandOverHitAtAnyOperationLeavesOneWatcherAndAWholePreference) {
    StartUp();
    const std::vector<Parameter> toLabels = {Text(u"Label Printer"), Boolean(false), Number("2"),
                                            Boolean(true)};
    const std::uint64_t operations =
        OperationsOf([&] { ASSERT_EQ(Result(u"VORL_ChangePrinter", toLabels), u"0"); });
    ASSERT_GE(operations, 10u);

    for (std::int32_t code : {1, 2}) {
        for (std::uint64_t nth = 1; nth <= operations; ++nth) {
            const std::string where = "code " + std::to_string(code) + " at " + std::to_string(nth);
            // A watcher for the old printer is running when the failure hits.
            ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0") << where;
            ASSERT_EQ(Preference(), kOfficeLaser);
            const fmwrapper::LiveObjects live = session_.Host().LiveObjects();
            session_.Host().FailOperation(nth, code);
            const hosting::CallOutcome failed = Call(u"VORL_ChangePrinter", toLabels);
            fmwrapper::DisarmFailure();
            EXPECT_EQ(failed.code, code) << where;
            EXPECT_EQ(session_.Host().LiveObjects(), live) << where;
            EXPECT_LE(simwin::CountHandles().runningThreads, 1u) << where;
            const std::u16string preference = Preference();
            EXPECT_TRUE(preference == kOfficeLaser || preference == kLabelPrinter)
                << where << ": " << fmwrapper::Utf16ToUtf8(preference);
            // The next hand-over goes through and is the one that counts.
            EXPECT_EQ(Result(u"VORL_ChangePrinter", toLabels), u"0") << where;
            EXPECT_EQ(Preference(), kLabelPrinter) << where;
            EXPECT_LE(simwin::CountHandles().runningThreads, 1u) << where;
        }
    }
    ShutDown();
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
}

}  // namespace
}  // namespace vorelle::testing
