// What the runtime's opaque handles really are. Only the runtime sees these.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fmwrapper/decimal_number.h"
#include "fmwrapper/live_objects.h"
#include "hostsdk/FMWrapper.h"

struct FMX_QuadChar {
    char chars[4] = {};
    fmwrapper::LiveCount<fmwrapper::ObjectKind::QuadChar> counted;
};

struct FMX_Text {
    std::u16string units;
    fmwrapper::LiveCount<fmwrapper::ObjectKind::Text> counted;
};

struct FMX_FixPt {
    fmwrapper::DecimalNumber value;
    fmwrapper::LiveCount<fmwrapper::ObjectKind::FixPt> counted;
};

struct FMX_Locale {
    std::u16string name;
    fmwrapper::LiveCount<fmwrapper::ObjectKind::Locale> counted;
};

// One value: a parameter or a function's result. Its text and number forms
// are both kept, so the borrowed Text and FixPt the runtime hands out live as
// long as the value.
struct FMX_Data {
    std::int32_t nativeType = 0;
    FMX_Text text;
    FMX_FixPt number;
    FMX_Locale locale;
    // What FM_Data_SetAsText did to this value.
    std::uint32_t writeCount = 0;
    std::u16string writtenLocaleName;
    bool writtenWithOwnLocale = false;
    fmwrapper::LiveCount<fmwrapper::ObjectKind::Data> counted;
};

struct FMX_DataVect {
    std::vector<std::unique_ptr<FMX_Data>> values;
    FMX_Data outOfRange;  // what a read past the end sees: an empty text, number 0
    fmwrapper::LiveCount<fmwrapper::ObjectKind::DataVect> counted;
};

struct FMX_ExprEnv {
    fmwrapper::LiveCount<fmwrapper::ObjectKind::ExprEnv> counted;
};
