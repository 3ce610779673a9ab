// Call records with fields outside their ranges, as a careless or hostile
// host could send them: every interface version, garbage in every field of
// the messages the plug-in ignores, string requests into buffers of exactly
// the announced size, a foreign instance handle, and function ids that are
// not the registered ones.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "resources/string_table.h"
#include "tests/plugin/host_fixture.h"

namespace vorelle::testing {
namespace {

class CallRecordEdgesTest : public HostTest {
protected:
    // Fills every byte of the record from the generator.
    static void Scramble(FMX_CallRecord& record, std::mt19937& random) {
        auto* bytes = reinterpret_cast<unsigned char*>(&record);
        for (std::size_t i = 0; i < sizeof record; ++i) {
            bytes[i] = static_cast<unsigned char>(random());
        }
    }

    static std::u16string TableEntry(std::uint32_t id) {
        for (const resources::StringEntry& entry : resources::StringTable()) {
            if (entry.id == id) {
                return entry.text;
            }
        }
        return {};
    }

    std::size_t MutexHandles() const { return simwin::CountHandles().mutexes; }
};

TEST_F(CallRecordEdgesTest, EveryInterfaceVersionIsAnsweredAndOnlyFiftyToTwoFiftyFiveStart) {
    const std::u16string version = u"ProAdvanced 11.0v3";
    for (int v = -32768; v <= 32767; ++v) {
        if (v >= 50 && v <= 255) {
            continue;
        }
        const hosting::StartupOutcome outcome = session_.Host().StartUp(static_cast<std::int16_t>(v), version);
        ASSERT_TRUE(outcome.answered) << v;
        ASSERT_EQ(outcome.answer, -1) << v;
    }
    EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));

    // Every accepted version, one start-up after the other without a
    // shutdown between them: the plug-in stays one plug-in.
    std::size_t mutexesAfterFirst = 0;
    for (int v = 50; v <= 255; ++v) {
        const hosting::StartupOutcome outcome = session_.Host().StartUp(static_cast<std::int16_t>(v), version);
        ASSERT_TRUE(outcome.answered) << v;
        ASSERT_EQ(outcome.answer, 51) << v;
        if (v == 50) {
            mutexesAfterFirst = MutexHandles();
        }
    }
    EXPECT_EQ(fmwrapper::RegisteredFunctions().size(), 11u);
    EXPECT_EQ(MutexHandles(), mutexesAfterFirst) << "a repeated start-up opened another mutex";
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"Office Laser");

    ShutDown();
    EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
    EXPECT_FALSE(simwin::NamedMutexExists(u"ChangePrinteMutex"));
}

TEST_F(CallRecordEdgesTest, IgnoredMessagesWithGarbageInEveryFieldChangeNothing) {
    StartUp();
    std::mt19937 random(6);
    for (int round = 0; round < 40; ++round) {
        for (int code = 0; code <= 255; ++code) {
            if (code == kFMXMessageStartup || code == kFMXMessageShutdown ||
                code == kFMXMessageGetString) {
                continue;
            }
            FMX_CallRecord record;
            Scramble(record, random);
            record.message = static_cast<std::uint8_t>(code);
            const FMX_CallRecord before = record;
            session_.Host().Send(record);
            ASSERT_EQ(std::memcmp(&record, &before, sizeof record), 0) << "message " << code;
        }
    }
    EXPECT_EQ(Result(u"VORL_Version"), u"Vorelle 3.0.4.3");
}

TEST_F(CallRecordEdgesTest, StringRequestsFillExactlyTheAnnouncedBuffer) {
    // Each buffer is a heap block of exactly the announced size: under the
    // address sanitizer a single unit written past it ends the test.
    std::mt19937 random(7);
    for (int id = 0; id <= 255; ++id) {
        for (std::uint32_t size : {0u, 1u, 2u, 3u, 8u, 31u, 32u, 56u, 57u, 58u, 1024u}) {
            auto buffer = std::make_unique<char16_t[]>(size + 1);  // +1: never 0 bytes
            std::fill_n(buffer.get(), size, char16_t{0xA5C3});
            FMX_CallRecord record;
            Scramble(record, random);  // garbage in the fields a string request does not use
            record.message = kFMXMessageGetString;
            record.param1 = static_cast<std::uint8_t>(id);
            record.param3 = size;
            record.instance = session_.Host().Instance();
            record.result = reinterpret_cast<std::uintptr_t>(buffer.get());
            const FMX_CallRecord before = record;
            session_.Host().Send(record);
            ASSERT_EQ(std::memcmp(&record, &before, sizeof record), 0) << id << "/" << size;
            if (size == 0) {
                EXPECT_EQ(buffer[0], char16_t{0}) << "the spare unit was touched";
                continue;
            }
            const std::u16string entry = TableEntry(id == 131 ? 1 : id).substr(0, size - 1);
            EXPECT_EQ(std::u16string(buffer.get(), entry.size()), entry) << id << "/" << size;
            EXPECT_EQ(buffer[entry.size()], u'\0') << id << "/" << size;
        }
    }
}

TEST_F(CallRecordEdgesTest, AForeignInstanceHandleGivesEmptyTextsAndNoCrash) {
    for (std::uintptr_t instance : {std::uintptr_t{0}, std::uintptr_t{1},
                                    reinterpret_cast<std::uintptr_t>(&CallRecordEdgesTest::TableEntry)}) {
        char16_t buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), char16_t{0xA5C3});
        FMX_CallRecord record = session_.Host().NewRecord(kFMXMessageGetString);
        record.param1 = 128;
        record.param3 = 16;
        record.instance = instance;
        record.result = reinterpret_cast<std::uintptr_t>(buffer);
        session_.Host().Send(record);
        EXPECT_EQ(buffer[0], u'\0');
        EXPECT_EQ(buffer[1], char16_t{0xA5C3}) << "more than the terminator was written";

        // A start-up through it still answers; what it registered goes at shutdown.
        FMX_CallRecord startup = session_.Host().NewRecord(kFMXMessageStartup);
        startup.interfaceVersion = 51;
        startup.instance = instance;
        session_.Host().Send(startup);
        EXPECT_EQ(static_cast<std::int32_t>(startup.result), 51);
        FMX_CallRecord shutdown = session_.Host().NewRecord(kFMXMessageShutdown);
        shutdown.instance = instance;
        session_.Host().Send(shutdown);
        EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
    }
}

TEST_F(CallRecordEdgesTest, FunctionIdsOutsideTheirRangeAreNotLookedAt) {
    StartUp();
    for (const fmwrapper::RegisteredFunction& function : fmwrapper::RegisteredFunctions()) {
        std::u16string expected;
        for (std::int16_t id : {function.id, std::int16_t{-32768}, std::int16_t{-1},
                                std::int16_t{0}, std::int16_t{147}, std::int16_t{32767}}) {
            fmwrapper::RegisteredFunction call = function;
            call.id = id;
            fmwrapper::HostDataVect parameters;
            if (function.minParameters > 0) {
                parameters.AppendText(function.name == u"VORL_GetPrinterAt" ? u"1" : u"Nowhere");
            }
            fmwrapper::HostResult result;
            ASSERT_EQ(fmwrapper::CallFunction(call, parameters, result), 0) << id;
            if (id == function.id) {
                expected = result.Text();
            }
            EXPECT_EQ(result.Text(), expected) << fmwrapper::Utf16ToUtf8(function.name) << " " << id;
        }
    }
}

}  // namespace
}  // namespace vorelle::testing
