// The calendar clock: real time by default, a manual clock for tests that can
// be set and moved both ways.
#include <ctime>

#include "tests/simwin/machine_fixture.h"

namespace simwin_test {
namespace {

using ClockTest = MachineTest;

TEST_F(ClockTest, RealTimeByDefault) {
    EXPECT_FALSE(simwin::ManualClockInUse());
    auto before = static_cast<std::int32_t>(std::time(nullptr));
    std::int32_t now = simwin::CalendarSeconds();
    auto after = static_cast<std::int32_t>(std::time(nullptr));
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST_F(ClockTest, TheManualClockStandsStillUntilMoved) {
    simwin::UseManualClock(1000);
    EXPECT_TRUE(simwin::ManualClockInUse());
    EXPECT_EQ(simwin::CalendarSeconds(), 1000);
    simwin::Sleep(5);
    EXPECT_EQ(simwin::CalendarSeconds(), 1000);
    simwin::AdvanceClock(21);
    EXPECT_EQ(simwin::CalendarSeconds(), 1021);
    simwin::AdvanceClock(-100);
    EXPECT_EQ(simwin::CalendarSeconds(), 921);
    simwin::SetClock(-5);
    EXPECT_EQ(simwin::CalendarSeconds(), -5);
    simwin::UseRealClock();
    EXPECT_GT(simwin::CalendarSeconds(), 1000000000);
}

TEST_F(ClockTest, AdvancingFromRealTimeStartsAtTheRealTime) {
    auto before = static_cast<std::int32_t>(std::time(nullptr));
    simwin::AdvanceClock(60);
    EXPECT_TRUE(simwin::ManualClockInUse());
    EXPECT_GE(simwin::CalendarSeconds(), before + 60);
    EXPECT_LE(simwin::CalendarSeconds(), static_cast<std::int32_t>(std::time(nullptr)) + 60);
}

TEST_F(ClockTest, TheManualClockWrapsLikeASigned32BitCount) {
    simwin::UseManualClock(0x7FFFFFFF);
    simwin::AdvanceClock(1);
    EXPECT_EQ(simwin::CalendarSeconds(), -0x7FFFFFFF - 1);
}

TEST_F(ClockTest, ReadsAreCounted) {
    std::uint64_t before = simwin::ClockReads();
    simwin::CalendarSeconds();
    simwin::CalendarSeconds();
    EXPECT_GE(simwin::ClockReads(), before + 2);
}

}  // namespace
}  // namespace simwin_test
