// A small plug-in for fmhost's tests, so they do not depend on the real one.
//
// Start-up accepts interface versions 50 to 255 (answer 51) and registers:
//   1 TEST_Echo      0..3  each parameter as "text/long/boolean", joined by "|"
//   2 TEST_Fail      0..0  returns error code 7 and writes no result
//   3 TEST_Constant  0..0  "constant"
// Shutdown unregisters them all, except TEST_Constant when the host version
// text contains "LeaveRegistered". Strings: 1 (and 131) "TEST1nnYYnn",
// 128 "Test Plug-in", 129 "A plug-in for fmhost's tests."; string 200 writes
// "xyz" and its zero whatever the buffer size (a fault for the host to notice).
// A runtime failure
// ends a function with error code 5 and no result.
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "hostsdk/FMWrapper.h"

namespace {

struct RuntimeFailure : std::runtime_error {
    RuntimeFailure() : std::runtime_error("runtime failure") {}
};

// Calls one runtime operation with a fresh error record and raises the
// failure the record reports.
template <typename Call>
auto Checked(Call call) {
    FMX_ErrorRecord err{1, 0};
    auto check = [&] {
        if (err.code == kFMXErrorOutOfMemory || err.code == kFMXErrorGeneral) {
            throw RuntimeFailure();
        }
    };
    if constexpr (std::is_void_v<std::invoke_result_t<Call, FMX_ErrorRecord*>>) {
        call(&err);
        check();
    } else {
        auto value = call(&err);
        check();
        return value;
    }
}

class TextHolder {
public:
    TextHolder() : text_(Checked([](FMX_ErrorRecord* e) { return FM_Text_Constructor1(e); })) {}
    ~TextHolder() {
        FMX_ErrorRecord err{1, 0};
        FM_Text_Delete(text_, &err);
    }
    TextHolder(const TextHolder&) = delete;
    TextHolder& operator=(const TextHolder&) = delete;
    FMX_Text* get() const { return text_; }

private:
    FMX_Text* text_;
};

class QuadHolder {
public:
    QuadHolder()
        : quad_(Checked([](FMX_ErrorRecord* e) { return FM_QuadChar_Constructor2('T', 'E', 'S', 'T', e); })) {}
    ~QuadHolder() {
        FMX_ErrorRecord err{1, 0};
        FM_QuadChar_Delete(quad_, &err);
    }
    QuadHolder(const QuadHolder&) = delete;
    QuadHolder& operator=(const QuadHolder&) = delete;
    FMX_QuadChar* get() const { return quad_; }

private:
    FMX_QuadChar* quad_;
};

std::u16string TextOf(const FMX_Text* text) {
    const std::uint32_t size = Checked([&](FMX_ErrorRecord* e) { return FM_Text_GetSize(text, e); });
    std::u16string units(size, u'\0');
    Checked([&](FMX_ErrorRecord* e) { FM_Text_GetUnicode(text, units.data(), 0, size, e); });
    return units;
}

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void WriteResult(FMX_Data* result, const std::u16string& text) {
    TextHolder holder;
    Checked([&](FMX_ErrorRecord* e) { FM_Text_AssignUnicode(holder.get(), text.c_str(), e); });
    const FMX_Locale* locale = Checked([&](FMX_ErrorRecord* e) { return FM_Data_GetLocale(result, e); });
    Checked([&](FMX_ErrorRecord* e) { FM_Data_SetAsText(result, holder.get(), locale, 1, e); });
}

template <typename Body>
std::int16_t Guarded(Body body) {
    try {
        body();
        return 0;
    } catch (const RuntimeFailure&) {
        return 5;
    }
}

std::int16_t FMX_STDCALL Echo(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect* parameters,
                              FMX_Data* result) {
    return Guarded([&] {
        const std::uint32_t count =
            Checked([&](FMX_ErrorRecord* e) { return FM_DataVect_Size(parameters, e); });
        std::u16string out;
        for (std::uint32_t i = 0; i < count; ++i) {
            const FMX_Text* text =
                Checked([&](FMX_ErrorRecord* e) { return FM_DataVect_AtAsText(parameters, i, e); });
            const FMX_FixPt* number =
                Checked([&](FMX_ErrorRecord* e) { return FM_DataVect_AtAsNumber(parameters, i, e); });
            const std::int32_t value = Checked([&](FMX_ErrorRecord* e) { return FM_FixPt_AsLong(number, e); });
            const bool flag =
                Checked([&](FMX_ErrorRecord* e) { return FM_DataVect_AtAsBoolean(parameters, i, e); }) != 0;
            if (i != 0) {
                out += u"|";
            }
            out += TextOf(text) + u"/" + Utf16(std::to_string(value)) + (flag ? u"/true" : u"/false");
        }
        WriteResult(result, out);
    });
}

std::int16_t FMX_STDCALL Fail(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 7;
}

std::int16_t FMX_STDCALL Constant(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect*,
                                  FMX_Data* result) {
    return Guarded([&] { WriteResult(result, u"constant"); });
}

struct Row {
    std::int16_t id;
    const char* name;
    const char* prototype;
    std::int16_t min;
    std::int16_t max;
    FMX_ExternalFunction function;
};
constexpr Row kRows[] = {
    {1, "TEST_Echo", "TEST_Echo( a ; b ; c )", 0, 3, Echo},
    {2, "TEST_Fail", "TEST_Fail", 0, 0, Fail},
    {3, "TEST_Constant", "TEST_Constant", 0, 0, Constant},
};

bool leaveRegistered = false;

// A string request the plug-in answers wrongly, writing four units whatever
// the buffer's size.
constexpr unsigned kOverrunningString = 200;

void StartUp(FMX_CallRecord* record) {
    if (record->interfaceVersion < 50 || record->interfaceVersion > 255) {
        record->result = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(kFMXStartupRefused));
        return;
    }
    const auto* version = reinterpret_cast<const char16_t*>(record->param2);
    leaveRegistered = version != nullptr &&
                      std::u16string(version).find(u"LeaveRegistered") != std::u16string::npos;
    QuadHolder id;
    TextHolder name;
    TextHolder prototype;
    for (const Row& row : kRows) {
        Checked([&](FMX_ErrorRecord* e) { FM_Text_Assign(name.get(), row.name, 0, e); });
        Checked([&](FMX_ErrorRecord* e) { FM_Text_Assign(prototype.get(), row.prototype, 0, e); });
        Checked([&](FMX_ErrorRecord* e) {
            return FM_ExprEnv_RegisterExternalFunction(id.get(), row.id, name.get(), prototype.get(),
                                                       row.min, row.max, 0xFF01, row.function, e);
        });
    }
    record->result = kFMXCurrentInterfaceVersion;
}

void ShutDown() {
    QuadHolder id;
    for (const Row& row : kRows) {
        if (leaveRegistered && row.id == 3) {
            continue;
        }
        Checked([&](FMX_ErrorRecord* e) { return FM_ExprEnv_UnRegisterExternalFunction(id.get(), row.id, e); });
    }
}

void CopyString(FMX_CallRecord* record) {
    const unsigned id = record->param1 == 131 ? 1 : record->param1;
    const char16_t* text = id == 1     ? u"TEST1nnYYnn"
                           : id == 128 ? u"Test Plug-in"
                           : id == 129 ? u"A plug-in for fmhost's tests."
                                       : nullptr;
    auto* buffer = reinterpret_cast<char16_t*>(record->result);
    const std::uintptr_t size = record->param3;
    if (id == kOverrunningString && buffer != nullptr) {
        std::memcpy(buffer, u"xyz", sizeof u"xyz");  // whatever the size: the host must notice
        return;
    }
    if (text == nullptr || buffer == nullptr || size == 0) {
        return;
    }
    std::uintptr_t n = 0;
    for (; text[n] != 0 && n + 1 < size; ++n) {
        buffer[n] = text[n];
    }
    buffer[n] = 0;
}

}  // namespace

extern "C" FMX_PLUGIN_EXPORT void FMX_STDCALL FMExternCallProc(FMX_CallRecord* record) {
    try {
        switch (record->message) {
            case kFMXMessageStartup:
                StartUp(record);
                break;
            case kFMXMessageShutdown:
                ShutDown();
                break;
            case kFMXMessageGetString:
                CopyString(record);
                break;
            default:
                break;
        }
    } catch (const RuntimeFailure&) {
        // contained: the host sees no answer
    }
}
