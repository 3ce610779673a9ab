// The host's plug-in interface: the call record of FMExternCallProc and the
// FMWrapper runtime operations. Shared by the plug-in and by every host that
// loads it (fmhost); nothing plug-in specific lives here.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define FMX_STDCALL __stdcall
#else
#define FMX_STDCALL
#endif

#if defined(_WIN32)
#if defined(FMWRAPPER_BUILD)
#define FMX_RUNTIME_API __declspec(dllexport)
#else
#define FMX_RUNTIME_API __declspec(dllimport)
#endif
#else
#define FMX_RUNTIME_API __attribute__((visibility("default")))
#endif

extern "C" {

// Message codes of FMExternCallProc.
enum : std::uint8_t {
    kFMXMessageStartup = 0,
    kFMXMessageIdle = 1,
    kFMXMessageShutdown = 4,
    kFMXMessagePreferences = 5,
    kFMXMessageGetString = 7,
};

// Interface version the plug-in answers to an accepted start-up.
enum : std::int32_t { kFMXCurrentInterfaceVersion = 51, kFMXStartupRefused = -1 };

// One call of FMExternCallProc, owned by the host. Packed to one byte; on 32-bit
// Windows the host's own layout. The pointer-sized fields grow to 8 bytes on
// 64-bit builds, after the same first 12 bytes.
#pragma pack(push, 1)
struct FMX_CallRecord {
    std::int16_t interfaceVersion;   // start-up
    std::uint8_t reserved1[7];
    std::uint8_t message;            // every call
    std::uint8_t reserved2;
    std::uint8_t param1;             // string request: string id
    std::uintptr_t param2;           // start-up: address of the host version text
    std::uintptr_t param3;           // string request: buffer size in UTF-16 units
    std::uintptr_t instance;         // the plug-in library
    std::uintptr_t result;           // start-up: the answer; string request: buffer
};
#pragma pack(pop)

static_assert(offsetof(FMX_CallRecord, interfaceVersion) == 0);
static_assert(offsetof(FMX_CallRecord, message) == 9);
static_assert(offsetof(FMX_CallRecord, param1) == 11);
static_assert(offsetof(FMX_CallRecord, param2) == 12);
static_assert(offsetof(FMX_CallRecord, param3) == 12 + sizeof(std::uintptr_t));
static_assert(offsetof(FMX_CallRecord, instance) == 12 + 2 * sizeof(std::uintptr_t));
static_assert(offsetof(FMX_CallRecord, result) == 12 + 3 * sizeof(std::uintptr_t));
static_assert(sizeof(std::uintptr_t) != 4 || offsetof(FMX_CallRecord, result) == 24);
static_assert(sizeof(std::uintptr_t) != 8 || offsetof(FMX_CallRecord, result) == 36);

typedef void(FMX_STDCALL* FMX_ExternCallProc)(FMX_CallRecord* record);

// Error record taken last by every runtime operation. The runtime sets code
// 1 (out of memory) or 2 (general failure); other codes mean success.
struct FMX_ErrorRecord {
    std::int32_t version;
    std::int32_t code;
};
enum : std::int32_t { kFMXErrorNone = 0, kFMXErrorOutOfMemory = 1, kFMXErrorGeneral = 2 };

// Opaque runtime objects.
struct FMX_QuadChar;
struct FMX_Text;
struct FMX_Data;
struct FMX_DataVect;
struct FMX_FixPt;
struct FMX_Locale;
struct FMX_ExprEnv;

typedef std::int16_t(FMX_STDCALL* FMX_ExternalFunction)(std::int16_t functionId,
                                                       const FMX_ExprEnv* env,
                                                       const FMX_DataVect* parameters,
                                                       FMX_Data* result);

// Value returned by FM_Text_Find when the sought text does not occur: deleting
// from this position removes nothing.
enum : std::uint32_t { kFMXTextNotFound = 0xFFFFFFFFu };

FMX_RUNTIME_API FMX_QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3,
                                                       FMX_ErrorRecord* err);
FMX_RUNTIME_API void FM_QuadChar_Delete(FMX_QuadChar* quad, FMX_ErrorRecord* err);

FMX_RUNTIME_API FMX_Text* FM_Text_Constructor1(FMX_ErrorRecord* err);
FMX_RUNTIME_API void FM_Text_Delete(FMX_Text* text, FMX_ErrorRecord* err);
FMX_RUNTIME_API void FM_Text_AssignUnicode(FMX_Text* text, const char16_t* unicode,
                                           FMX_ErrorRecord* err);
FMX_RUNTIME_API void FM_Text_Assign(FMX_Text* text, const char* s, std::int32_t encoding,
                                    FMX_ErrorRecord* err);
FMX_RUNTIME_API std::uint32_t FM_Text_GetSize(const FMX_Text* text, FMX_ErrorRecord* err);
FMX_RUNTIME_API void FM_Text_GetUnicode(const FMX_Text* text, char16_t* buffer,
                                        std::uint32_t position, std::uint32_t count,
                                        FMX_ErrorRecord* err);
FMX_RUNTIME_API std::uint32_t FM_Text_Find(const FMX_Text* text, const FMX_Text* sought,
                                           std::uint32_t start, FMX_ErrorRecord* err);
FMX_RUNTIME_API void FM_Text_DeleteText(FMX_Text* text, std::uint32_t position,
                                        std::uint32_t count, FMX_ErrorRecord* err);

FMX_RUNTIME_API std::uint32_t FM_DataVect_Size(const FMX_DataVect* vect, FMX_ErrorRecord* err);
FMX_RUNTIME_API const FMX_Text* FM_DataVect_AtAsText(const FMX_DataVect* vect,
                                                     std::uint32_t position,
                                                     FMX_ErrorRecord* err);
FMX_RUNTIME_API const FMX_FixPt* FM_DataVect_AtAsNumber(const FMX_DataVect* vect,
                                                        std::uint32_t position,
                                                        FMX_ErrorRecord* err);
FMX_RUNTIME_API std::uint8_t FM_DataVect_AtAsBoolean(const FMX_DataVect* vect,
                                                     std::uint32_t position,
                                                     FMX_ErrorRecord* err);

FMX_RUNTIME_API std::int32_t FM_FixPt_AsLong(const FMX_FixPt* number, FMX_ErrorRecord* err);

FMX_RUNTIME_API const FMX_Locale* FM_Data_GetLocale(const FMX_Data* data, FMX_ErrorRecord* err);
FMX_RUNTIME_API std::uint8_t FM_Data_SetAsText(FMX_Data* data, const FMX_Text* text,
                                               const FMX_Locale* locale,
                                               std::int32_t nativeType, FMX_ErrorRecord* err);

FMX_RUNTIME_API std::int16_t FM_ExprEnv_RegisterExternalFunction(
    const FMX_QuadChar* pluginId, std::int16_t functionId, const FMX_Text* name,
    const FMX_Text* prototype, std::int16_t minParameters, std::int16_t maxParameters,
    std::uint32_t flags, FMX_ExternalFunction function, FMX_ErrorRecord* err);
FMX_RUNTIME_API std::int16_t FM_ExprEnv_UnRegisterExternalFunction(const FMX_QuadChar* pluginId,
                                                                   std::int16_t functionId,
                                                                   FMX_ErrorRecord* err);

}  // extern "C"

// How a plug-in marks FMExternCallProc for export.
#if defined(_WIN32)
#define FMX_PLUGIN_EXPORT __declspec(dllexport)
#else
#define FMX_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
