// The platform facade on the simulated Windows: the printer services' and the
// hand-off's view of spooler, registry, kernel and string table.
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/spooler.h"
#include "platform/threads.h"
#include "resources/string_table.h"
#include "sim_platform/failure_trace.h"
#include "simwin/errors.h"
#include "tests/simwin/machine_fixture.h"

namespace simwin_test {
namespace {

namespace platform = vorelle::platform;

using FacadeTest = MachineTest;

TEST_F(FacadeTest, EnumerationGivesTheNamesInOrder) {
    platform::PrinterList list;
    ASSERT_TRUE(platform::EnumeratePrinters(list));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.name(0), u"Office Laser");
    EXPECT_EQ(list.name(1), u"\\\\print-server\\Accounts");
    EXPECT_EQ(list.name(3), u"Fax");

    simwin::ResetMachine({});
    EXPECT_TRUE(platform::EnumeratePrinters(list));
    EXPECT_EQ(list.size(), 0u);

    simwin::ResetMachine(TestMachine());
    simwin::SetFault(simwin::Fault::Enumerate, true);
    EXPECT_FALSE(platform::EnumeratePrinters(list));
    EXPECT_EQ(list.size(), 0u);
}

TEST_F(FacadeTest, DefaultPrinterReadAndSet) {
    EXPECT_EQ(platform::DefaultPrinterName(), u"Office Laser");
    EXPECT_FALSE(platform::MakeDefaultPrinter(u"Nowhere"));
    EXPECT_TRUE(platform::MakeDefaultPrinter(u"fax"));
    EXPECT_EQ(platform::DefaultPrinterName(), u"Fax");
    simwin::RemovePrinter(u"Fax");
    EXPECT_EQ(platform::DefaultPrinterName(), u"");
}

TEST_F(FacadeTest, FailuresAreTracedWithTheirErrorCodeAndSuccessesAreNot) {
    using platform::sim::TakeTracedFailures;
    (void)TakeTracedFailures();
    platform::PrinterList list;
    ASSERT_TRUE(platform::EnumeratePrinters(list));
    platform::PrinterHandle laser = platform::OpenPrinterByName(u"Office Laser");
    ASSERT_TRUE(laser && platform::GetPrinterDetails(laser));
    ASSERT_TRUE(platform::RegistryKey::OpenCurrentUser(std::u16string(simwin::kDevicesKeyPath), platform::KeyAccess::QueryValue));
    EXPECT_TRUE(TakeTracedFailures().empty()) << "a successful call traced something";

    EXPECT_FALSE(platform::OpenPrinterByName(u"Nowhere"));
    EXPECT_FALSE(platform::RegistryKey::OpenCurrentUser(u"Software\\Nowhere", platform::KeyAccess::QueryValue));
    simwin::SetFault(simwin::Fault::PrinterDetails, true);
    EXPECT_FALSE(platform::GetPrinterDetails(laser));
    const std::vector<platform::sim::TracedFailure> traced = TakeTracedFailures();
    ASSERT_EQ(traced.size(), 3u);
    EXPECT_EQ(traced[0].call, u"OpenPrinterW");
    EXPECT_EQ(traced[0].errorCode, simwin::kErrorInvalidPrinterName);
    EXPECT_EQ(traced[1].call, u"RegOpenKeyExW");
    EXPECT_EQ(traced[1].errorCode, simwin::kErrorFileNotFound);
    EXPECT_EQ(traced[2].call, u"GetPrinterW");
    EXPECT_NE(traced[2].errorCode, simwin::kErrorSuccess);
}

TEST_F(FacadeTest, PrinterHandlesAreClosedByTheirOwner) {
    {
        platform::PrinterHandle missing = platform::OpenPrinterByName(u"Nowhere");
        EXPECT_FALSE(missing);
        platform::PrinterHandle laser = platform::OpenPrinterByName(u"Office Laser");
        ASSERT_TRUE(laser);
        platform::PrinterHandle label = platform::OpenPrinterByName(u"Label Printer");
        EXPECT_EQ(simwin::CountHandles().printers, 2u);

        std::optional<platform::PrinterDetails> details = platform::GetPrinterDetails(laser);
        ASSERT_TRUE(details);
        EXPECT_EQ(details->portName, u"LPT1:");
        details = platform::GetPrinterDetails(label);
        ASSERT_TRUE(details);
        EXPECT_EQ(details->portName, std::nullopt);
        simwin::SetFault(simwin::Fault::PrinterDetails, true);
        EXPECT_FALSE(platform::GetPrinterDetails(laser));
    }
    EXPECT_EQ(simwin::CountHandles().printers, 0u);
}

TEST_F(FacadeTest, RegistryKeysReadAndWriteThroughTheFacade) {
    {
        platform::RegistryKey devices = platform::RegistryKey::OpenCurrentUser(
            std::u16string(simwin::kDevicesKeyPath), platform::KeyAccess::QueryValue);
        ASSERT_TRUE(devices);
        EXPECT_EQ(devices.ValueSize(u"Fax"), std::nullopt);
        std::optional<std::uint32_t> size = devices.ValueSize(u"\\\\print-server\\Accounts");
        ASSERT_EQ(size, 2u * 14 + 2);
        std::u16string data(*size / 2 + 1, u'\0');
        std::uint32_t bytes = *size;
        ASSERT_TRUE(devices.ReadValue(u"\\\\print-server\\Accounts", data.data(), bytes));
        EXPECT_EQ(std::u16string(data.c_str()), u"winspool,Ne01:");

        EXPECT_FALSE(platform::RegistryKey::OpenCurrentUser(kReadOnlyPath, platform::KeyAccess::SetValue));
        platform::RegistryKey preferences =
            platform::RegistryKey::OpenCurrentUser(kPreferencesPath, platform::KeyAccess::SetValue);
        ASSERT_TRUE(preferences);
        EXPECT_TRUE(preferences.SetString(u"Printer", u"Fax,winspool,FAX:"));
        EXPECT_EQ(simwin::CountHandles().keys, 2u);
    }
    std::optional<simwin::RegistryValue> value = simwin::GetValue(kPreferencesPath, u"Printer");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, simwin::kRegSz);
    EXPECT_EQ(value->data, simwin::RegistryValue::String(u"Printer", u"Fax,winspool,FAX:").data);
    EXPECT_EQ(value->data.size(), 2u * 17 + 2);
}

TEST_F(FacadeTest, FailedOpeningsAndWritesLeaveNothingOpen) {
    simwin::SetFault(simwin::Fault::DevicesKey, true);
    simwin::SetFault(simwin::Fault::WritePrinter, true);
    EXPECT_FALSE(platform::RegistryKey::OpenCurrentUser(std::u16string(simwin::kDevicesKeyPath),
                                                        platform::KeyAccess::QueryValue));
    EXPECT_FALSE(platform::RegistryKey::OpenCurrentUser(u"Software\\Missing", platform::KeyAccess::SetValue));
    platform::RegistryKey preferences =
        platform::RegistryKey::OpenCurrentUser(kPreferencesPath, platform::KeyAccess::SetValue);
    EXPECT_FALSE(preferences.SetString(u"Printer", u"Fax,winspool,FAX:"));
    EXPECT_EQ(simwin::GetValue(kPreferencesPath, u"Printer")->Text(), u"Old Printer,winspool,LPT2:");
}

TEST_F(FacadeTest, NamedMutexWaitsAndReleases) {
    platform::NamedMutex mutex = platform::NamedMutex::Create(u"ChangePrinteMutex");
    ASSERT_TRUE(mutex);
    {
        simwin::MutexHeldElsewhere other(u"ChangePrinteMutex");
        EXPECT_EQ(mutex.Wait(10), platform::WaitResult::TimedOut);
        other.Abandon();
        EXPECT_EQ(mutex.Wait(10), platform::WaitResult::Abandoned);
        EXPECT_TRUE(mutex.Release());
    }
    EXPECT_EQ(mutex.Wait(1000), platform::WaitResult::Acquired);
    EXPECT_TRUE(mutex.Release());
    EXPECT_FALSE(mutex.Release());
    mutex.Close();
    EXPECT_FALSE(mutex);
    EXPECT_EQ(mutex.Wait(0), platform::WaitResult::Failed);
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));
}

void Count(void* counter) {
    platform::SleepMilliseconds(5);
    ++*static_cast<std::atomic<int>*>(counter);
}

TEST_F(FacadeTest, ThreadsAreJoinedWithABoundAndLetGoByTheirOwner) {
    std::atomic<int> counter{0};
    {
        platform::Thread first = platform::Thread::Start(&Count, &counter);
        ASSERT_TRUE(first);
        platform::Thread second = platform::Thread::Start(&Count, &counter);
        EXPECT_TRUE(second.JoinFor(10'000));
        EXPECT_FALSE(second);
        EXPECT_GE(counter, 1);
        first = platform::Thread::Start(&Count, &counter);  // lets go of the one it held first
    }
    // The owners waited for nothing; the threads end on their own.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (simwin::CountHandles().runningThreads != 0 && std::chrono::steady_clock::now() < deadline) {
        platform::SleepMilliseconds(1);
    }
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u) << "a thread did not end";
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(simwin::CountHandles().threads, 0u);

    simwin::FailThreadStarts(simwin::ThreadStartFailure::Fail);
    EXPECT_FALSE(platform::Thread::Start(&Count, &counter));
    simwin::FailThreadStarts(simwin::ThreadStartFailure::Throw);
    EXPECT_THROW(platform::Thread::Start(&Count, &counter), std::bad_alloc);
    simwin::FailThreadStarts(simwin::ThreadStartFailure::None);
    EXPECT_EQ(counter, 3);
}

TEST_F(FacadeTest, CalendarSecondsAndTheTickFollowTheSimulatedClocks) {
    simwin::UseManualClock(42);
    EXPECT_EQ(platform::CalendarSeconds(), 42);
    simwin::AdvanceClock(-2);
    EXPECT_EQ(platform::CalendarSeconds(), 40);

    // The tick stands still while manual, jumps when moved, wraps as a 32-bit
    // count and otherwise never goes back.
    simwin::PlaceTick(0xFFFF'FFFFu - 9'999);  // ten seconds before the wrap
    const std::uint32_t tick = platform::TickMilliseconds();
    simwin::AdvanceClock(-3600);
    EXPECT_EQ(platform::TickMilliseconds(), tick);
    simwin::AdvanceTick(60'000);
    EXPECT_EQ(platform::TickMilliseconds(), 50'000u);
    EXPECT_EQ(platform::MillisecondsSince(tick), 60'000u);
    simwin::UseRealTick();
    EXPECT_GE(platform::MillisecondsSince(tick), 60'000u);
    EXPECT_LT(platform::MillisecondsSince(tick), 120'000u);
}

// The base address of the module this test is linked into: the module that holds the string table.
std::uintptr_t ThisModule() {
    Dl_info info{};
    EXPECT_NE(dladdr(reinterpret_cast<void*>(&ThisModule), &info), 0);
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

std::uintptr_t SimwinModule() {
    Dl_info info{};
    EXPECT_NE(dladdr(reinterpret_cast<void*>(&simwin::CalendarSeconds), &info), 0);
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

TEST_F(FacadeTest, LoadStringCopiesFromTheOwnStringTableOnly) {
    const vorelle::resources::StringEntry& entry = vorelle::resources::StringTable()[1];
    std::u16string_view text(entry.text);
    ASSERT_GT(text.size(), 3u);

    char16_t buffer[512];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(platform::LoadModuleString(ThisModule(), entry.id, buffer, 512), text.size());
    EXPECT_EQ(std::u16string_view(buffer), text);

    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(platform::LoadModuleString(ThisModule(), entry.id, buffer, 4), 3u);
    EXPECT_EQ(std::u16string_view(buffer), text.substr(0, 3));
    EXPECT_EQ(buffer[4], u'#');

    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(platform::LoadModuleString(ThisModule(), entry.id, buffer, 0), 0u);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(platform::LoadModuleString(ThisModule(), entry.id, buffer, 1), 0u);
    EXPECT_EQ(buffer[0], u'\0');

    EXPECT_EQ(platform::LoadModuleString(ThisModule(), 0xFFFF, buffer, 512), 0u);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(platform::LoadModuleString(SimwinModule(), entry.id, buffer, 512), 0u);
    EXPECT_EQ(platform::LoadModuleString(0, entry.id, buffer, 512), 0u);
}

}  // namespace
}  // namespace simwin_test
