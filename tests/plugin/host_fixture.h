// The plug-in as the host sees it: Vorelle.fmx loaded into an in-process
// host session, on a simulated machine.
#pragma once

#include <string>
#include <vector>

#include "fmhost/session.h"
#include "machine_fixture.h"

namespace vorelle::testing {

using hosting::Parameter;

inline Parameter Text(std::u16string text) { return Parameter::OfText(std::move(text)); }
inline Parameter Number(std::string literal) { return Parameter::OfNumber(std::move(literal)); }
inline Parameter Boolean(bool value) { return Parameter::OfBoolean(value); }

class HostTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        fmwrapper::ResetRuntime();
        std::string error;
        ASSERT_TRUE(session_.Host().Load(VORELLE_PLUGIN_PATH, error)) << error;
        liveBefore_ = session_.Host().LiveObjects();
    }
    void TearDown() override {
        if (session_.Host().Started()) {
            ShutDown();
        }
        EXPECT_EQ(session_.Host().LiveObjects(), liveBefore_) << "host objects left undeleted";
        session_.Host().Unload();
        MachineTest::TearDown();
    }

    void StartUp(std::u16string hostVersion = u"ProAdvanced 11.0v3") {
        const hosting::StartupOutcome outcome = session_.Host().StartUp(51, hostVersion);
        ASSERT_TRUE(outcome.Accepted());
    }

    // The shutdown, which waits for a running watcher to end.
    void ShutDown() {
        WithinBound("the shutdown to return", [&] { session_.Host().Shutdown(); });
    }

    // Calls a registered function (VORL_ChangePrinter waits for a running
    // watcher to stop); the full outcome.
    hosting::CallOutcome Call(std::u16string_view name, const std::vector<Parameter>& parameters = {}) {
        std::string error;
        const auto outcome = WithinBound(fmwrapper::Utf16ToUtf8(name) + " to return",
                                         [&] { return session_.Call(name, parameters, &error); });
        EXPECT_TRUE(outcome) << error;
        return outcome.value_or(hosting::CallOutcome{});
    }

    // Calls a registered function that must answer with code 0 and one text
    // result stored as text with the result's own locale; the text.
    std::u16string Result(std::u16string_view name, const std::vector<Parameter>& parameters = {}) {
        const hosting::CallOutcome outcome = Call(name, parameters);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.resultWrites, 1u);
        EXPECT_EQ(outcome.nativeType, 1);
        EXPECT_TRUE(outcome.resultWithOwnLocale);
        return outcome.resultText;
    }

    fmhost::Session session_;
    fmwrapper::LiveObjects liveBefore_;
};

}  // namespace vorelle::testing
