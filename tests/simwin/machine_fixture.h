// A small known machine for each test, and a check that the test left no
// handle open and used no invalid handle unless it meant to.
#pragma once

#include <gtest/gtest.h>

#include "simwin/simwin.h"

namespace simwin_test {

inline constexpr char16_t kPreferencesPath[] = u"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences";
inline constexpr char16_t kReadOnlyPath[] = u"Software\\FileMaker\\FileMaker Pro\\10.0\\Preferences";

inline simwin::MachineSpec TestMachine() {
    simwin::MachineSpec setup;
    setup.printers = {
        {u"Office Laser", false, u"LPT1:", u"winspool,LPT1:"},
        {u"\\\\print-server\\Accounts", true, u"\\\\print-server\\Accounts", u"winspool,Ne01:"},
        {u"Label Printer", false, std::nullopt, u"winspool,USB001"},
        {u"Fax", false, u"FAX:", std::nullopt},
    };
    setup.defaultPrinter = u"Office Laser";
    setup.keys = {{kPreferencesPath, {simwin::RegistryValue::String(u"Printer", u"Old Printer,winspool,LPT2:")}}};
    setup.readOnlyKeys = {kReadOnlyPath};
    return setup;
}

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        simwin::ResetMachine(TestMachine());
        simwin::UseRealClock();
        simwin::ClearInvalidHandleUses();
        before_ = simwin::CountHandles();
    }

    void TearDown() override {
        simwin::HandleCounts after = simwin::CountHandles();
        EXPECT_EQ(after.printers, before_.printers) << "printer handles leaked";
        EXPECT_EQ(after.keys, before_.keys) << "registry keys leaked";
        EXPECT_EQ(after.mutexes, before_.mutexes) << "mutex handles leaked";
        EXPECT_EQ(after.threads, before_.threads) << "thread handles leaked";
        EXPECT_EQ(after.invalidUses, expectedInvalidUses_) << "invalid handle uses";
        simwin::UseRealClock();
        simwin::UseRealTick();
    }

    // The test uses this many invalid handles on purpose.
    void ExpectInvalidHandleUses(std::size_t count) { expectedInvalidUses_ = count; }

private:
    simwin::HandleCounts before_;
    std::size_t expectedInvalidUses_ = 0;
};

}  // namespace simwin_test
