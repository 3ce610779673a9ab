// The host runtime's operations of one external function's frame, made bare:
// the result holder, the parameter count, a parameter's text or the first's
// number, and the result written and the holder deleted, with no error record
// looked at. What a function's time is compared with, beside its platform
// calls (timing_platform.h).
#pragma once

#include <cstdint>
#include <vector>

#include "hostsdk/FMWrapper.h"

namespace fmhost::timing {

class BareFrame {
public:
    BareFrame() : holder_(FM_Text_Constructor1(&error_)) {}
    BareFrame(const BareFrame&) = delete;
    BareFrame& operator=(const BareFrame&) = delete;

    std::uint32_t Count(const FMX_DataVect* parameters) { return FM_DataVect_Size(parameters, &error_); }
    std::uint32_t TextLength(const FMX_DataVect* parameters, std::uint32_t index = 0) {
        return FM_Text_GetSize(FM_DataVect_AtAsText(parameters, index, &error_), &error_);
    }
    // A parameter's (the first's unless told) `length` units into `buffer`, with a terminating 0.
    void CopyText(const FMX_DataVect* parameters, char16_t* buffer, std::uint32_t length,
                  std::uint32_t index = 0) {
        FM_Text_GetUnicode(FM_DataVect_AtAsText(parameters, index, &error_), buffer, 0, length, &error_);
        buffer[length] = u'\0';
    }
    // A parameter's characters as bytes, each U+0000 to U+00FF the byte of
    // its value, copied through `units` (room for the text and its 0); false
    // when one is above U+00FF.
    bool CopyBytes(const FMX_DataVect* parameters, std::uint32_t index, std::vector<char16_t>& units,
                   std::vector<std::uint8_t>& bytes) {
        const std::uint32_t length = TextLength(parameters, index);
        CopyText(parameters, units.data(), length, index);
        bytes.resize(length);
        char16_t high = 0;  // the high bytes of every character, together
        for (std::uint32_t i = 0; i < length; ++i) {
            high |= units[i] & 0xFF00;
            bytes[i] = static_cast<std::uint8_t>(units[i]);
        }
        return high == 0;
    }
    std::int32_t Integer(const FMX_DataVect* parameters) {
        return FM_FixPt_AsLong(FM_DataVect_AtAsNumber(parameters, 0, &error_), &error_);
    }
    // Stores `text` as the result (as text, with the result's own locale) and
    // deletes the holder; the frame is spent afterwards.
    void Write(FMX_Data* result, const char16_t* text) {
        FM_Text_AssignUnicode(holder_, text, &error_);
        const FMX_Locale* locale = FM_Data_GetLocale(result, &error_);
        FM_Data_SetAsText(result, holder_, locale, 1, &error_);
        FM_Text_Delete(holder_, &error_);
        holder_ = nullptr;
    }
    ~BareFrame() {
        if (holder_ != nullptr) {
            FM_Text_Delete(holder_, &error_);
        }
    }

private:
    FMX_ErrorRecord error_{1, 0};
    FMX_Text* holder_;
};

}  // namespace fmhost::timing
