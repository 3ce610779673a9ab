// A simulated machine built afresh for each test, and checks that the plug-in
// left no printer handle, registry key or kernel handle open.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "simwin/simwin.h"
#include "tests/bounded_wait.h"

namespace vorelle::testing {

inline const std::u16string kPreferences11A =
    u"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences";

// Office Laser (default, LPT1:), a connection with a backslashed name, a
// printer whose Devices data holds a comma, one without a port, and one with
// no Devices value.
inline simwin::MachineSpec StandardMachine() {
    simwin::MachineSpec setup;
    setup.printers = {
        {u"Office Laser", false, u"LPT1:", u"winspool,LPT1:"},
        {u"\\\\print-server\\Accounts", true, u"\\\\print-server\\Accounts", u"winspool,Ne01:"},
        {u"Label Printer", false, u"USB001", u"winspool,USB001,extra"},
        {u"Portless", false, std::nullopt, u"winspool,nul:"},
        {u"No Devices", false, u"LPT2:", std::nullopt},
    };
    setup.defaultPrinter = u"Office Laser";
    setup.keys = {{kPreferences11A, {}}};
    return setup;
}

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        simwin::ResetMachine(StandardMachine());
        simwin::ClearInvalidHandleUses();
        before_ = simwin::CountHandles();
    }
    void TearDown() override {
        simwin::UseRealTick();
        ExpectNothingLeftOpen();
    }

    void ExpectNothingLeftOpen() const {
        const simwin::HandleCounts now = simwin::CountHandles();
        EXPECT_EQ(now.printers, before_.printers) << "printer handle left open";
        EXPECT_EQ(now.keys, before_.keys) << "registry key left open";
        EXPECT_EQ(now.kernel(), before_.kernel()) << "kernel handle left open";
        EXPECT_EQ(now.invalidUses, 0u) << "a handle was used after it was closed";
    }

    simwin::HandleCounts before_;
};

using test_support::AwaitOrEnd;
using test_support::Eventually;
using test_support::kWaitBound;
using test_support::WithinBound;

}  // namespace vorelle::testing
