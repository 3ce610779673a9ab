// FM_Text_*: UTF-16 texts.
#include <algorithm>
#include <new>

#include "fmwrapper/call_log.h"
#include "fmwrapper/operation_gate.h"
#include "fmwrapper/runtime_objects.h"
#include "fmwrapper/host_runtime.h"
#include "fmwrapper/text_encoding.h"

using fmwrapper::OperationGate;

extern "C" {

FMX_Text* FM_Text_Constructor1(FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_Constructor1", err);
    if (!gate.Proceed()) {
        return nullptr;
    }
    auto* text = new (std::nothrow) FMX_Text;
    if (text == nullptr && err != nullptr) {
        err->code = kFMXErrorOutOfMemory;
    }
    return text;
}

void FM_Text_Delete(FMX_Text* text, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_Delete", err);
    delete text;  // also when told to fail: nobody else could ever free it
}

void FM_Text_AssignUnicode(FMX_Text* text, const char16_t* unicode, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_AssignUnicode", err);
    if (!gate.Proceed()) {
        return;
    }
    if (text == nullptr) {
        gate.Refuse();
        return;
    }
    text->units = unicode != nullptr ? std::u16string(unicode) : std::u16string();
}

void FM_Text_Assign(FMX_Text* text, const char* s, std::int32_t encoding, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_Assign", err);
    if (!gate.Proceed()) {
        return;
    }
    if (text == nullptr) {
        gate.Refuse();
        return;
    }
    const std::string_view bytes = s != nullptr ? std::string_view(s) : std::string_view();
    text->units = encoding == fmwrapper::kEncodingUtf8 ? fmwrapper::Utf8ToUtf16(bytes)
                                                       : fmwrapper::DecodeNative(bytes);
}

std::uint32_t FM_Text_GetSize(const FMX_Text* text, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_GetSize", err);
    if (!gate.Proceed()) {
        return 0;
    }
    if (text == nullptr) {
        gate.Refuse();
        return 0;
    }
    return static_cast<std::uint32_t>(text->units.size());
}

void FM_Text_GetUnicode(const FMX_Text* text, char16_t* buffer, std::uint32_t position,
                        std::uint32_t count, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_GetUnicode", err);
    if (!gate.Proceed()) {
        return;
    }
    if (text == nullptr || (buffer == nullptr && count != 0)) {
        gate.Refuse();
        return;
    }
    // At most `count` units, and only units the text has: no terminator.
    if (position >= text->units.size()) {
        return;
    }
    const std::size_t available = text->units.size() - position;
    const std::size_t n = std::min<std::size_t>(count, available);
    std::copy_n(text->units.data() + position, n, buffer);
}

std::uint32_t FM_Text_Find(const FMX_Text* text, const FMX_Text* sought, std::uint32_t start,
                           FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_Find", err);
    if (!gate.Proceed()) {
        return kFMXTextNotFound;
    }
    if (text == nullptr || sought == nullptr) {
        gate.Refuse();
        return kFMXTextNotFound;
    }
    if (start > text->units.size()) {
        return kFMXTextNotFound;
    }
    const std::size_t at = text->units.find(sought->units, start);
    return at == std::u16string::npos ? kFMXTextNotFound : static_cast<std::uint32_t>(at);
}

void FM_Text_DeleteText(FMX_Text* text, std::uint32_t position, std::uint32_t count,
                        FMX_ErrorRecord* err) {
    OperationGate gate("FM_Text_DeleteText", err);
    if (text != nullptr) {
        fmwrapper::LogCall("FM_Text_DeleteText", text->units.size(), position, count);
    }
    if (!gate.Proceed()) {
        return;
    }
    if (text == nullptr) {
        gate.Refuse();
        return;
    }
    // From kFMXTextNotFound, or anywhere past the end, nothing is removed.
    if (position >= text->units.size()) {
        return;
    }
    text->units.erase(position, std::min<std::size_t>(count, text->units.size() - position));
}

}  // extern "C"
