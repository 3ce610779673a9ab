// Named mutexes with Win32 semantics (owner thread, recursion, time-outs,
// abandonment, one namespace shared by simulated processes) and threads whose
// handles are signalled when they end.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/simwin/machine_fixture.h"

namespace simwin_test {
namespace {

using simwin::Handle;
using simwin::WaitResult;
using Clock = std::chrono::steady_clock;

constexpr char16_t kMutexName[] = u"ChangePrinteMutex";

// A mutex handle closed when the test leaves scope.
class MutexHandle {
public:
    explicit MutexHandle(const char16_t* name, bool* existed = nullptr)
        : handle_(simwin::CreateMutex(name, false, existed)) {}
    ~MutexHandle() { simwin::CloseHandle(handle_); }
    MutexHandle(const MutexHandle&) = delete;
    MutexHandle& operator=(const MutexHandle&) = delete;
    Handle get() const { return handle_; }

private:
    Handle handle_;
};

std::int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

using KernelTest = MachineTest;

TEST_F(KernelTest, MutexesAreSharedByTheirExactName) {
    bool existed = true;
    MutexHandle first(kMutexName, &existed);
    EXPECT_FALSE(existed);
    MutexHandle second(kMutexName, &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorAlreadyExists);
    MutexHandle otherCase(u"changeprintemutex", &existed);
    EXPECT_FALSE(existed);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(simwin::CountHandles().mutexes, 3u);

    // Both handles reach one object: held through one, it is held for the other.
    ASSERT_EQ(simwin::WaitForSingleObject(first.get(), 0), WaitResult::Acquired);
    EXPECT_TRUE(simwin::NamedMutexOwned(kMutexName));
    EXPECT_TRUE(simwin::ReleaseMutex(second.get()));
    EXPECT_FALSE(simwin::NamedMutexOwned(kMutexName));
}

TEST_F(KernelTest, ANamedMutexDisappearsWithItsLastHandle) {
    {
        MutexHandle mutex(kMutexName);
        EXPECT_TRUE(simwin::NamedMutexExists(kMutexName));
    }
    EXPECT_FALSE(simwin::NamedMutexExists(kMutexName));
    bool existed = true;
    MutexHandle again(kMutexName, &existed);
    EXPECT_FALSE(existed);
}

TEST_F(KernelTest, TheOwnerAcquiresRecursivelyAndReleasesAsOften) {
    MutexHandle mutex(kMutexName);
    ASSERT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::Acquired);
    ASSERT_EQ(simwin::WaitForSingleObject(mutex.get(), 1000), WaitResult::Acquired);
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
    EXPECT_TRUE(simwin::NamedMutexOwned(kMutexName));
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
    EXPECT_FALSE(simwin::NamedMutexOwned(kMutexName));
    EXPECT_FALSE(simwin::ReleaseMutex(mutex.get()));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorNotOwner);
}

TEST_F(KernelTest, OnlyTheOwnerThreadCanRelease) {
    MutexHandle mutex(kMutexName);
    ASSERT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::Acquired);
    bool releasedElsewhere = true;
    std::thread([&] { releasedElsewhere = simwin::ReleaseMutex(mutex.get()); }).join();
    EXPECT_FALSE(releasedElsewhere);
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
}

TEST_F(KernelTest, AWaitTimesOutWhileAnotherProcessHoldsTheMutex) {
    simwin::MutexHeldElsewhere other(kMutexName);
    MutexHandle mutex(kMutexName);
    EXPECT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::TimedOut);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(simwin::WaitForSingleObject(mutex.get(), 60), WaitResult::TimedOut);
    EXPECT_GE(MillisecondsSince(start), 59);

    other.Release();
    EXPECT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::Acquired);
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
}

TEST_F(KernelTest, AWaiterGetsTheMutexWhenTheOtherProcessReleasesIt) {
    simwin::MutexHeldElsewhere other(kMutexName);
    MutexHandle mutex(kMutexName);
    std::atomic<bool> waiting{false};
    WaitResult result = WaitResult::Failed;
    std::thread waiter([&] {
        waiting = true;
        result = simwin::WaitForSingleObject(mutex.get(), simwin::kInfinite);
        if (result == WaitResult::Acquired) {
            simwin::ReleaseMutex(mutex.get());
        }
    });
    while (!waiting) {
        std::this_thread::yield();
    }
    other.Release();
    waiter.join();
    EXPECT_EQ(result, WaitResult::Acquired);
}

TEST_F(KernelTest, AnAbandonedMutexIsReportedOnceToItsNextOwner) {
    simwin::MutexHeldElsewhere other(kMutexName);
    MutexHandle mutex(kMutexName);
    other.Abandon();
    EXPECT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::Abandoned);
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
    EXPECT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::Acquired);
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
}

void TakeAndEnd(void* mutex) {
    simwin::WaitForSingleObject(*static_cast<Handle*>(mutex), 0);
}

TEST_F(KernelTest, AThreadThatEndsHoldingAMutexAbandonsIt) {
    MutexHandle mutex(kMutexName);
    Handle raw = mutex.get();
    Handle thread = simwin::CreateThread(&TakeAndEnd, &raw);
    ASSERT_NE(thread, 0u);
    ASSERT_EQ(simwin::WaitForSingleObject(thread, simwin::kInfinite), WaitResult::Acquired);
    EXPECT_TRUE(simwin::CloseHandle(thread));
    EXPECT_EQ(simwin::WaitForSingleObject(mutex.get(), 0), WaitResult::Abandoned);
    EXPECT_TRUE(simwin::ReleaseMutex(mutex.get()));
}

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<int> runs{0};
};

void WaitAtGate(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    while (!gate->open) {
        simwin::Sleep(1);
    }
    ++gate->runs;
}

TEST_F(KernelTest, AThreadHandleIsSignalledWhenTheThreadHasEnded) {
    Gate gate;
    Handle thread = simwin::CreateThread(&WaitAtGate, &gate);
    ASSERT_NE(thread, 0u);
    EXPECT_EQ(simwin::CountHandles().threads, 1u);
    EXPECT_EQ(simwin::CountHandles().runningThreads, 1u);
    EXPECT_EQ(simwin::WaitForSingleObject(thread, 20), WaitResult::TimedOut);
    gate.open = true;
    EXPECT_EQ(simwin::WaitForSingleObject(thread, simwin::kInfinite), WaitResult::Acquired);
    EXPECT_EQ(gate.runs, 1);
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    EXPECT_EQ(simwin::WaitForSingleObject(thread, 0), WaitResult::Acquired);
    EXPECT_TRUE(simwin::CloseHandle(thread));
}

TEST_F(KernelTest, AThreadRunsOnWhenItsHandleIsClosedFirst) {
    Gate gate;
    Handle thread = simwin::CreateThread(&WaitAtGate, &gate);
    ASSERT_NE(thread, 0u);
    EXPECT_TRUE(simwin::CloseHandle(thread));
    EXPECT_EQ(simwin::CountHandles().threads, 0u);
    gate.open = true;
    while (simwin::CountHandles().runningThreads != 0) {
        simwin::Sleep(1);
    }
    EXPECT_EQ(gate.runs, 1);
}

TEST_F(KernelTest, InvalidKernelHandlesAreCountedNotFatal) {
    ExpectInvalidHandleUses(5);
    Handle mutex = simwin::CreateMutex(nullptr);
    ASSERT_TRUE(simwin::CloseHandle(mutex));
    EXPECT_FALSE(simwin::CloseHandle(mutex));
    EXPECT_EQ(simwin::GetLastError(), simwin::kErrorInvalidHandle);
    EXPECT_EQ(simwin::WaitForSingleObject(mutex, 0), WaitResult::Failed);
    EXPECT_FALSE(simwin::ReleaseMutex(mutex));

    Handle printer = 0;
    ASSERT_TRUE(simwin::OpenPrinter(u"Fax", printer));
    EXPECT_FALSE(simwin::CloseHandle(printer));  // a printer handle is no kernel handle
    EXPECT_TRUE(simwin::ClosePrinter(printer));
    Gate gate;
    gate.open = true;
    Handle thread = simwin::CreateThread(&WaitAtGate, &gate);
    EXPECT_FALSE(simwin::ReleaseMutex(thread));
    simwin::WaitForSingleObject(thread, simwin::kInfinite);
    simwin::CloseHandle(thread);
}

TEST_F(KernelTest, SleepWaitsAtLeastTheGivenTime) {
    Clock::time_point start = Clock::now();
    simwin::Sleep(30);
    EXPECT_GE(MillisecondsSince(start), 30);
}

}  // namespace
}  // namespace simwin_test
