#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>

#include "failing_allocator.h"
#include "host_fixture.h"

namespace vorelle::testing {
namespace {

class ExhaustedHeapTest : public HostTest {};

TEST_F(ExhaustedHeapTest, AShutdownWithNoMemoryLeftStillUnregistersEveryRowAndEndsTheWatcher) {
    StartUp();
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0");
    ASSERT_EQ(simwin::CountHandles().runningThreads, 1u);
    void* library = dlopen(VORELLE_PLUGIN_PATH, RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    const void* entry = dlsym(library, "FMExternCallProc");
    dlclose(library);
    ASSERT_NE(entry, nullptr);
    // The runtime reports the second row out of memory, twice: its trace line
    // is written. No allocation of the plug-in's succeeds on the host's
    // thread, as a VORL_GetPrinterAt first shows.
    const std::size_t refusedToVersion = WithinBound("the shutdown to return", [&] {
        RefusePluginAllocations(entry);
        std::string error;
        (void)session_.Call(u"VORL_GetPrinterAt", {Number("1")}, &error);
        const std::size_t refused = RefusedAllocations();
        session_.FailOperation(3, 1, 2);
        session_.Shutdown();
        RefusePluginAllocations(nullptr);
        return refused;
    });
    EXPECT_GT(refusedToVersion, 0u) << "the failing allocator does not reach the plug-in";
    fmwrapper::DisarmFailure();
    std::set<std::int16_t> left;
    for (const fmwrapper::RegisteredFunction& function : fmwrapper::RegisteredFunctions()) {
        left.insert(function.id);
    }
    EXPECT_EQ(left, std::set<std::int16_t>{145}) << "a row was not tried";
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u) << "the watcher outlived the shutdown";
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));
}

}  // namespace
}  // namespace vorelle::testing
