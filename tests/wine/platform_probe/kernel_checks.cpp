// Threads, the named mutex and the calendar clock.
#include "platform/win32/win32_api.h"

#include <atomic>
#include <ctime>
#include <string>

#include "platform/threads.h"
#include "tests/wine/platform_probe/probe.h"

namespace probe {
namespace {

using vorelle::platform::NamedMutex;
using vorelle::platform::Thread;
using vorelle::platform::WaitResult;

struct SlowWork {
    std::atomic<bool> finished{false};
    void* seen = nullptr;
};

void WorkSlowly(void* argument) {
    auto* work = static_cast<SlowWork*>(argument);
    work->seen = argument;
    vorelle::platform::SleepMilliseconds(200);
    work->finished = true;
}

struct MutexTry {
    const NamedMutex* mutex = nullptr;
    WaitResult result = WaitResult::Failed;
    bool takeAndKeep = false;
};

void TryMutex(void* argument) {
    auto* attempt = static_cast<MutexTry*>(argument);
    attempt->result = attempt->mutex->Wait(attempt->takeAndKeep ? 1000 : 50);
    // With takeAndKeep the thread ends owning the mutex: it is abandoned.
}

const char* Name(WaitResult result) {
    switch (result) {
        case WaitResult::Acquired:
            return "Acquired";
        case WaitResult::Abandoned:
            return "Abandoned";
        case WaitResult::TimedOut:
            return "TimedOut";
        case WaitResult::Failed:
            return "Failed";
    }
    return "?";
}

}  // namespace

void KernelChecks() {
    {
        SlowWork work;
        Thread thread = Thread::Start(WorkSlowly, &work);
        Check(static_cast<bool>(thread), "Thread::Start");
        Check(thread.JoinFor(10000), "JoinFor within its bound");
        Check(work.finished && work.seen == &work,
              "JoinFor waits for the thread, which got its one pointer argument");
        Check(!thread, "a joined thread is empty");
    }
    {
        SlowWork work;
        {
            Thread thread = Thread::Start(WorkSlowly, &work);
            Thread moved = std::move(thread);
            Check(!moved.JoinFor(0), "JoinFor(0) on a running thread times out, keeps it");
        }  // the owner lets the thread run on alone
        const std::uint32_t letGo = vorelle::platform::TickMilliseconds();
        while (!work.finished && vorelle::platform::MillisecondsSince(letGo) < 10000) {
            Sleep(1);
        }
        Check(work.finished, "a thread let go by its owner runs to its end");
    }
    {
        // GetTickCount moves in steps (10 to 16 ms on Windows; Wine's may lag
        // further behind under load): slept in 20 ms naps until it has moved
        // 20, at most 2 s of naps. A count in seconds would not get there, one
        // in microseconds would overshoot.
        const std::uint32_t before = vorelle::platform::TickMilliseconds();
        std::uint32_t elapsed = 0;
        for (int naps = 0; naps < 100 && elapsed < 20; ++naps) {
            Sleep(20);
            elapsed = vorelle::platform::MillisecondsSince(before);
        }
        Check(elapsed >= 20 && elapsed < 5000, "the tick count moves on with time, in milliseconds",
              std::to_string(elapsed) + " ms");
    }

    const std::u16string name = u"VorelleProbeMutex" + std::u16string(1, u'A' + (GetCurrentProcessId() % 26));
    NamedMutex first = NamedMutex::Create(name);
    NamedMutex second = NamedMutex::Create(name);  // the same kernel object, opened
    Check(first && second, "CreateMutexW, twice under one name");
    Check(first.Wait(0) == WaitResult::Acquired, "an unowned mutex is acquired");
    {
        MutexTry other{&second, WaitResult::Failed, false};
        Thread thread = Thread::Start(TryMutex, &other);
        Check(thread.JoinFor(10000), "the thread ends");
        Check(other.result == WaitResult::TimedOut,
              "the same name is the same mutex: another thread times out", Name(other.result));
    }
    Check(first.Release(), "ReleaseMutex by the owner");
    Check(!first.Release(), "ReleaseMutex by a thread that does not own it fails");
    {
        MutexTry keeper{&second, WaitResult::Failed, true};
        Thread thread = Thread::Start(TryMutex, &keeper);
        Check(thread.JoinFor(10000), "the thread ends");
        Check(keeper.result == WaitResult::Acquired, "another thread acquires it",
              Name(keeper.result));
    }
    const WaitResult afterAbandon = first.Wait(1000);
    Check(afterAbandon == WaitResult::Abandoned, "a mutex whose owner ended is Abandoned",
          Name(afterAbandon));
    Check(first.Release(), "the new owner releases it");
    NamedMutex empty;
    Check(empty.Wait(1000) == WaitResult::Failed, "an empty mutex fails at once");
    first.Close();
    Check(!first, "Close empties the mutex");

    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    const std::int32_t seconds = vorelle::platform::CalendarSeconds();
    Check(seconds - static_cast<std::int32_t>(now) >= 0 &&
              seconds - static_cast<std::int32_t>(now) <= 2,
          "CalendarSeconds is the calendar time in seconds");
    LARGE_INTEGER frequency;
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    vorelle::platform::SleepMilliseconds(100);
    QueryPerformanceCounter(&after);
    const long long slept = (after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart;
    Check(slept >= 90, "SleepMilliseconds(100) sleeps", std::to_string(slept) + " ms");
}

}  // namespace probe
