#include "fmwrapper/host_runtime.h"

#include <algorithm>
#include <utility>

#include "fmwrapper/failure_injection.h"
#include "fmwrapper/function_registry.h"
#include "fmwrapper/runtime_objects.h"

namespace fmwrapper {
namespace {

bool SameNameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

std::unique_ptr<FMX_Data> NumberValue(const DecimalNumber& number) {
    auto value = std::make_unique<FMX_Data>();
    value->nativeType = kNativeTypeNumber;
    value->number.value = number;
    value->text.units = number.ToText();
    return value;
}

}  // namespace

FunctionRegistry& Registry() {
    static FunctionRegistry registry;
    return registry;
}

// --- HostDataVect

HostDataVect::HostDataVect() : vect_(new FMX_DataVect) {}
HostDataVect::~HostDataVect() { delete vect_; }
HostDataVect::HostDataVect(HostDataVect&& other) noexcept
    : vect_(std::exchange(other.vect_, nullptr)) {}
HostDataVect& HostDataVect::operator=(HostDataVect&& other) noexcept {
    if (this != &other) {
        delete vect_;
        vect_ = std::exchange(other.vect_, nullptr);
    }
    return *this;
}

void HostDataVect::AppendText(std::u16string_view text) {
    auto value = std::make_unique<FMX_Data>();
    value->nativeType = kNativeTypeText;
    value->text.units = text;
    value->number.value = DecimalNumber::LeadingNumber(text);
    vect_->values.push_back(std::move(value));
}

bool HostDataVect::AppendNumber(std::string_view literal) {
    const auto number = DecimalNumber::ParseLiteral(literal);
    if (!number) {
        return false;
    }
    vect_->values.push_back(NumberValue(*number));
    return true;
}

void HostDataVect::AppendBoolean(bool value) {
    vect_->values.push_back(NumberValue(DecimalNumber::FromInteger(value ? 1 : 0)));
}

bool IsNumberLiteral(std::string_view literal) {
    return DecimalNumber::ParseLiteral(literal).has_value();
}

std::uint32_t HostDataVect::Size() const {
    return vect_ != nullptr ? static_cast<std::uint32_t>(vect_->values.size()) : 0;
}

// --- HostResult

HostResult::HostResult(std::u16string_view localeName) : data_(new FMX_Data) {
    data_->locale.name = localeName;
}
HostResult::~HostResult() { delete data_; }
HostResult::HostResult(HostResult&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
HostResult& HostResult::operator=(HostResult&& other) noexcept {
    if (this != &other) {
        delete data_;
        data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
}

const FMX_Locale* HostResult::Locale() const { return &data_->locale; }
std::u16string HostResult::LocaleName() const { return data_->locale.name; }
std::uint32_t HostResult::WriteCount() const { return data_->writeCount; }
std::u16string HostResult::Text() const { return data_->text.units; }
std::int32_t HostResult::NativeType() const { return data_->nativeType; }
std::u16string HostResult::WrittenLocaleName() const { return data_->writtenLocaleName; }
bool HostResult::WrittenWithOwnLocale() const { return data_->writtenWithOwnLocale; }

// --- the function table

std::vector<RegisteredFunction> RegisteredFunctions() { return Registry().functions; }

std::optional<RegisteredFunction> FindFunction(std::u16string_view name) {
    for (const RegisteredFunction& f : Registry().functions) {
        if (SameNameIgnoringAsciiCase(f.name, name)) {
            return f;
        }
    }
    return std::nullopt;
}

std::vector<RegistrationEvent> RegistrationLog() { return Registry().log; }
void ClearRegistrationLog() { Registry().log.clear(); }

void RefuseRegistration(std::int16_t functionId, std::int16_t answer) {
    if (answer == 0) {
        Registry().refusals.erase(functionId);
    } else {
        Registry().refusals[functionId] = answer;
    }
}

void ForgetFunction(std::string_view pluginId, std::int16_t functionId) {
    std::erase_if(Registry().functions, [&](const RegisteredFunction& f) {
        return f.pluginId == pluginId && f.id == functionId;
    });
}

std::int16_t CallFunction(const RegisteredFunction& function, const HostDataVect& parameters,
                          HostResult& result, FunctionCaller caller) {
    FMX_ExprEnv environment;
    if (caller != nullptr) {
        return caller(function.function, function.id, &environment, parameters.Get(), result.Get());
    }
    return function.function(function.id, &environment, parameters.Get(), result.Get());
}

// --- watching the runtime

LiveObjects CountLiveObjects() {
    auto count = [](ObjectKind kind) { return LiveCounter(kind).load(); };
    LiveObjects live;
    live.texts = count(ObjectKind::Text);
    live.quadChars = count(ObjectKind::QuadChar);
    live.fixPts = count(ObjectKind::FixPt);
    live.locales = count(ObjectKind::Locale);
    live.data = count(ObjectKind::Data);
    live.dataVects = count(ObjectKind::DataVect);
    live.exprEnvs = count(ObjectKind::ExprEnv);
    return live;
}

void ResetRuntime() {
    FunctionRegistry& registry = Registry();
    registry.functions.clear();
    registry.log.clear();
    registry.refusals.clear();
    ClearInjectedFailures();
}

}  // namespace fmwrapper
