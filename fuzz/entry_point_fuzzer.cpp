// FMExternCallProc with arbitrary messages in arbitrary order: start-ups with
// any interface version, host version text and instance handle, shutdowns,
// string requests with any id and buffer size, idle, preferences and unknown
// codes with every other field of the record filled from the input.
//
// Checked after every message: the start-up answer (51 for versions 50 to
// 255, -1 otherwise), string replies against the string table, never a unit
// written past the host's buffer, ignored messages leave the record byte for
// byte as it was, a shutdown leaves no thread, function or mutex behind, no
// host object or handle leaks, and a started plug-in answers its functions.
//
// Input: a sequence of operations, each one selector byte and its operands
// (see the switch below). The plug-in's state carries over from one input to
// the next, as it would in a host that keeps it loaded.
#include <cstdint>
#include <span>

#include "fuzz/fuzz_host.h"
#include "fuzz/fuzz_input.h"

namespace vorelle::fuzz {
namespace {

bool gStarted = false;  // the last start-up was accepted and no shutdown followed

constexpr std::int16_t kInterestingVersions[] = {49, 50, 51, 255, 256, -1, 0, -32768, 32767};

std::int16_t InterfaceVersion(FuzzInput& in) {
    const std::uint8_t selector = in.U8();
    if (selector < 2 * std::size(kInterestingVersions)) {
        return kInterestingVersions[selector % std::size(kInterestingVersions)];
    }
    return in.I16();
}

std::uintptr_t Instance(FuzzInput& in) {
    const std::uint8_t selector = in.U8();
    switch (selector % 8) {
        case 0:
            return 0;
        case 1:
            return in.U32();
        default:
            return PluginInstance();
    }
}

std::uint32_t BufferSize(FuzzInput& in) {
    const std::uint8_t selector = in.U8();
    if (selector < 192) {
        return selector % 48;
    }
    return in.U16() % 4096;
}

void StartUp(FuzzInput& in) {
    const std::int16_t version = InterfaceVersion(in);
    std::u16string hostVersion;
    const std::u16string* versionText = &hostVersion;
    switch (in.U8() % 4) {
        case 0:
            versionText = nullptr;
            break;
        case 1:
            hostVersion = in.Text();
            break;
        case 2:
            hostVersion = kHostVersion;
            break;
        default:
            hostVersion = in.Text() + u"11.0" + in.Text() + u"Advanced";
            break;
    }
    const std::uintptr_t instance = Instance(in);
    const StartupAnswer answer = SendStartup(version, versionText, instance);
    Require(answer.answered, "a start-up was not answered");
    const bool accepted = version >= 50 && version <= 255;
    Require(answer.answer == (accepted ? 51 : -1), "wrong start-up answer");
    gStarted = gStarted || accepted;
    if (accepted && instance == PluginInstance()) {
        Require(AnyFunctionRegistered(), "an accepted start-up registered nothing");
    }
}

void OtherMessage(FuzzInput& in) {
    std::uint8_t code = in.U8();
    if (code == kFMXMessageStartup || code == kFMXMessageShutdown || code == kFMXMessageGetString) {
        code = kFMXMessageIdle;
    }
    FMX_CallRecord record = NewRecord(code, Instance(in));
    record.interfaceVersion = in.I16();
    for (std::uint8_t& b : record.reserved1) {
        b = in.U8();
    }
    record.reserved2 = in.U8();
    record.param1 = in.U8();
    record.param2 = in.U32();
    record.param3 = in.U32();
    record.result = in.U32();
    SendOtherMessage(record);
}

// A started plug-in whose functions the host knows by name answers them.
void CheckUsable() {
    const CallResult version = CallFunction(u"VORL_Version", {});
    if (version.registered) {
        Require(version.code == 0 && version.text == u"Vorelle 3.0.4.3", "VORL_Version failed");
    }
    const CallResult first =
        CallFunction(u"VORL_GetPrinterAt", {{Parameter::Kind::Number, {}, "1", false}});
    if (first.registered) {
        Require(first.code == (gStarted ? 0 : 3), "VORL_GetPrinterAt: wrong code");
        if (gStarted) {
            Require(first.text == u"Office Laser", "VORL_GetPrinterAt(1) is not the first printer");
        }
    }
}

}  // namespace
}  // namespace vorelle::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vorelle::fuzz::InitializeProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorelle::fuzz;
    FuzzInput in(std::span<const std::uint8_t>(data, size));
    for (int step = 0; step < 64 && !in.AtEnd(); ++step) {
        switch (in.U8() % 6) {
            case 0:
                StartUp(in);
                break;
            case 1: {
                const std::uint8_t id = in.U8();
                const std::uint32_t units = BufferSize(in);
                SendStringRequest(id, units, Instance(in));
                break;
            }
            case 2:
                if (ShutdownAllowed()) {
                    SendShutdown();
                    gStarted = false;
                }
                break;
            case 3:
                OtherMessage(in);
                break;
            case 4:
                CheckUsable();
                break;
            default:
                SendOtherMessage(NewRecord(kFMXMessageIdle, PluginInstance()));
                break;
        }
        CheckBetweenCalls();
    }
    fmwrapper::ClearRegistrationLog();
    return 0;
}
