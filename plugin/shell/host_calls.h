// Calls into the host's runtime. Every runtime operation takes an error record
// last; after the call, code 1 becomes std::bad_alloc and code 2 a general
// std::exception. Host objects the plug-in constructs have owners here.
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "hostsdk/FMWrapper.h"

namespace vorelle::shell {

// Throws the exception that a failure code stands for: std::bad_alloc for 1,
// a general std::exception for 2; nothing for any other code.
void ThrowHostError(std::int32_t code);

// Throws the exception that the record's code stands for, if any. Checked
// after every host operation: the usual answer, no failure, costs no call.
inline void ThrowOnHostError(const FMX_ErrorRecord& error) {
    if (error.code != kFMXErrorNone) {
        ThrowHostError(error.code);
    }
}

// Calls `operation(&error)` with a fresh error record and checks it afterwards.
template <typename Operation>
decltype(auto) CallHost(Operation&& operation) {
    FMX_ErrorRecord error{1, kFMXErrorNone};
    if constexpr (std::is_void_v<decltype(operation(&error))>) {
        std::forward<Operation>(operation)(&error);
        ThrowOnHostError(error);
    } else {
        decltype(auto) result = std::forward<Operation>(operation)(&error);
        ThrowOnHostError(error);
        return result;
    }
}

// An owned host object: deleted when it leaves scope. Delete() deletes it at a
// chosen point and checks the host's answer; the destructor deletes quietly
// (an exception may already be on its way).
template <typename Object, void (*DeleteOperation)(Object*, FMX_ErrorRecord*)>
class HostObject {
public:
    HostObject() = default;
    explicit HostObject(Object* object) : object_(object) {}
    ~HostObject() { DeleteQuietly(); }
    HostObject(HostObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    HostObject& operator=(HostObject&& other) noexcept {
        if (this != &other) {
            DeleteQuietly();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;

    Object* get() const { return object_; }

    void Delete() {
        Object* object = std::exchange(object_, nullptr);
        if (object != nullptr) {
            CallHost([&](FMX_ErrorRecord* err) { DeleteOperation(object, err); });
        }
    }

private:
    void DeleteQuietly() {
        if (Object* object = std::exchange(object_, nullptr)) {
            FMX_ErrorRecord ignored{1, kFMXErrorNone};
            DeleteOperation(object, &ignored);
        }
    }

    Object* object_ = nullptr;
};

using HostText = HostObject<FMX_Text, FM_Text_Delete>;
using HostQuadChar = HostObject<FMX_QuadChar, FM_QuadChar_Delete>;

// Runs `step`; when it raises a host failure, runs it once more. For steps
// that must not be skipped. kFMXErrorNone when one of the two runs went
// through; otherwise the code of the second failure (1 for std::bad_alloc,
// 2 for any other exception).
template <typename Step>
std::int32_t TryTwice(Step&& step) {
    std::int32_t code = kFMXErrorNone;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            step();
            return kFMXErrorNone;
        } catch (const std::bad_alloc&) {
            code = kFMXErrorOutOfMemory;
        } catch (...) {
            code = kFMXErrorGeneral;
        }
    }
    return code;
}

// FM_Text_Constructor1.
HostText NewHostText();

// The plug-in ID 'V','O','R','L', built afresh for each use.
HostQuadChar NewPluginId();

}  // namespace vorelle::shell
