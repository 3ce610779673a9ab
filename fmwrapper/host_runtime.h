// The host's side of the runtime: what fmhost and the tests use to build
// parameters and results, call registered functions, and watch the runtime
// (registrations, failure injection, live objects). Exported from the
// FMWrapper library, but not part of the plug-in's import list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostsdk/FMWrapper.h"

#if defined(_WIN32)
#if defined(FMWRAPPER_BUILD)
#define FMWRAPPER_HOST_API __declspec(dllexport)
#else
#define FMWRAPPER_HOST_API __declspec(dllimport)
#endif
#else
#define FMWRAPPER_HOST_API __attribute__((visibility("default")))
#endif

namespace fmwrapper {

// Native data types of a value (the nativeType of FM_Data_SetAsText).
enum : std::int32_t {
    kNativeTypeInvalid = 0,
    kNativeTypeText = 1,
    kNativeTypeNumber = 2,
    kNativeTypeDate = 3,
    kNativeTypeTime = 4,
    kNativeTypeTimeStamp = 5,
    kNativeTypeBinary = 6,
    kNativeTypeBoolean = 7,
};

// A parameter vector owned by the host. Each value keeps a text and a number
// form: a text's number is its leading number (0 when it has none); a number's
// text is its canonical form ("1.50" -> "1.5"); True and False are the numbers
// 1 and 0.
class FMWRAPPER_HOST_API HostDataVect {
public:
    HostDataVect();
    ~HostDataVect();
    HostDataVect(HostDataVect&& other) noexcept;
    HostDataVect& operator=(HostDataVect&& other) noexcept;
    HostDataVect(const HostDataVect&) = delete;
    HostDataVect& operator=(const HostDataVect&) = delete;

    void AppendText(std::u16string_view text);
    // A number literal ("-12.5", "1e400"); false, and nothing appended, when
    // `literal` is not one.
    bool AppendNumber(std::string_view literal);
    void AppendBoolean(bool value);

    std::uint32_t Size() const;
    const FMX_DataVect* Get() const { return vect_; }

private:
    FMX_DataVect* vect_;
};

// A function's result value, owned by the host, carrying a locale.
class FMWRAPPER_HOST_API HostResult {
public:
    explicit HostResult(std::u16string_view localeName = u"en_US");
    ~HostResult();
    HostResult(HostResult&& other) noexcept;
    HostResult& operator=(HostResult&& other) noexcept;
    HostResult(const HostResult&) = delete;
    HostResult& operator=(const HostResult&) = delete;

    FMX_Data* Get() { return data_; }
    const FMX_Locale* Locale() const;
    std::u16string LocaleName() const;

    // What FM_Data_SetAsText stored: how often it was called, the last text
    // and native type, and the locale it was given (true when that was this
    // result's own locale or one of the same name).
    bool Written() const { return WriteCount() != 0; }
    std::uint32_t WriteCount() const;
    std::u16string Text() const;
    std::int32_t NativeType() const;
    std::u16string WrittenLocaleName() const;
    bool WrittenWithOwnLocale() const;

private:
    FMX_Data* data_;
};

// One function in the runtime's table of registered functions.
struct RegisteredFunction {
    std::string pluginId;  // the four characters of the plug-in's QuadChar
    std::int16_t id = 0;
    std::u16string name;
    std::u16string prototype;
    std::int16_t minParameters = 0;
    std::int16_t maxParameters = 0;
    std::uint32_t flags = 0;
    FMX_ExternalFunction function = nullptr;
};

// One registration or unregistration, in the order the plug-in made them.
struct RegistrationEvent {
    enum class Kind { Register, Unregister };
    Kind kind = Kind::Register;
    std::string pluginId;
    std::int16_t id = 0;
    std::u16string name;       // registrations only
    std::u16string prototype;  // registrations only
    std::int16_t minParameters = 0;
    std::int16_t maxParameters = 0;
    std::uint32_t flags = 0;
    std::int16_t answer = 0;    // what the runtime returned
    bool tableChanged = false;  // a function was added, replaced or removed
};

// Registered functions in registration order; lookup ignores ASCII case, as
// the calculation engine does.
FMWRAPPER_HOST_API std::vector<RegisteredFunction> RegisteredFunctions();
FMWRAPPER_HOST_API std::optional<RegisteredFunction> FindFunction(std::u16string_view name);

FMWRAPPER_HOST_API std::vector<RegistrationEvent> RegistrationLog();
FMWRAPPER_HOST_API void ClearRegistrationLog();

// Makes the registration of `functionId` answer `answer` (non-zero: refused,
// the function is not added); answer 0 lifts the refusal. Nothing is refused
// unless told.
FMWRAPPER_HOST_API void RefuseRegistration(std::int16_t functionId, std::int16_t answer);

// Drops a function from the table without logging it (the host forgetting the
// functions of a library it unloads).
FMWRAPPER_HOST_API void ForgetFunction(std::string_view pluginId, std::int16_t functionId);

// Calls a registered function the way the calculation engine does: with its
// id, an expression environment, the parameters and the result. `caller`
// makes the call itself when given (hosting/ checks the calling convention).
using FunctionCaller = std::int16_t (*)(FMX_ExternalFunction function, std::int16_t functionId,
                                        const FMX_ExprEnv* environment,
                                        const FMX_DataVect* parameters, FMX_Data* result);
FMWRAPPER_HOST_API std::int16_t CallFunction(const RegisteredFunction& function,
                                             const HostDataVect& parameters, HostResult& result,
                                             FunctionCaller caller = nullptr);

// Failure injection: the `nth` FM_* operation from now (1 = the next one)
// reports `code` (1 out of memory, 2 general) in its error record and does
// nothing else: constructors return no object, queries 0. A failing delete
// still frees its object. With `times`, so do the operations after it, that
// many in a row in all; kEveryTime: every operation from the `nth` on. One
// such run at a time; it disarms after its last failure. nth 0 disarms.
inline constexpr std::uint64_t kEveryTime = ~std::uint64_t{0};
FMWRAPPER_HOST_API void FailOperation(std::uint64_t nth, std::int32_t code, std::uint64_t times = 1);
FMWRAPPER_HOST_API void DisarmFailure();
FMWRAPPER_HOST_API bool FailureArmed();
// FM_* operations made since the library was loaded.
FMWRAPPER_HOST_API std::uint64_t OperationCount();

struct InjectedFailure {
    std::uint64_t operation = 0;  // counted from when it was armed (1 = first); the last of a run
    std::int32_t code = 0;
    std::string operationName;    // e.g. "FM_Text_Find"
};
FMWRAPPER_HOST_API std::optional<InjectedFailure> LastInjectedFailure();
FMWRAPPER_HOST_API void ClearInjectedFailures();

// A log of the operations that address a range, while switched on:
// FM_Text_DeleteText (the text's size, the position and count given) and the
// FM_DataVect_At* reads, logged as FM_DataVect_At (the vector's size, the
// position read; count 0).
struct LoggedCall {
    std::string operation;
    std::uint32_t size = 0;
    std::uint32_t position = 0;
    std::uint32_t count = 0;
};
// On: an empty log that records from now; off: records nothing more.
FMWRAPPER_HOST_API void LogCalls(bool on);
FMWRAPPER_HOST_API std::vector<LoggedCall> CallLog();

// Runtime objects that exist right now, whoever made them.
struct LiveObjects {
    std::int64_t texts = 0;
    std::int64_t quadChars = 0;
    std::int64_t fixPts = 0;
    std::int64_t locales = 0;
    std::int64_t data = 0;
    std::int64_t dataVects = 0;
    std::int64_t exprEnvs = 0;
    std::int64_t Total() const {
        return texts + quadChars + fixPts + locales + data + dataVects + exprEnvs;
    }
    bool operator==(const LiveObjects&) const = default;
};
FMWRAPPER_HOST_API LiveObjects CountLiveObjects();

// Forgets every registration, the log, the refusals and any armed failure.
FMWRAPPER_HOST_API void ResetRuntime();

// Whether `literal` is a number literal that HostDataVect::AppendNumber takes.
FMWRAPPER_HOST_API bool IsNumberLiteral(std::string_view literal);

// The runtime's text conversions, for hosts that talk UTF-8 to the outside.
// Malformed input becomes U+FFFD.
FMWRAPPER_HOST_API std::u16string Utf8ToUtf16(std::string_view utf8);
FMWRAPPER_HOST_API std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace fmwrapper
