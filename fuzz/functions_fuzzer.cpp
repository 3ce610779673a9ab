// The eleven external functions with arbitrary parameter vectors, on a machine
// built from the input, with host failures injected into some calls.
//
// Input: the machine first (printer count, then per printer a flags byte, its
// name, port and Devices data; the default printer; the state of the
// preferences key; the faults; the spooler's faults), then calls until the
// input ends: a selector byte (function by its low six bits, a host failure injected by its top two),
// the failure's operation and code when injected, the parameter count (0 to
// 6) and each parameter (kind byte, then a text, number literal or boolean).
//
// Checked after every call: the error code is 0 (or, when an injected
// failure fired, that failure's code); a result is written exactly once, as
// text with the result's own locale, and is one of the texts the function
// may return (the machine's printer names, the fixed texts, the status
// codes); the count and emptiness checks give exactly their texts; the host's
// "Printer" preference changes only on "0" and then holds exactly the name
// and the printer's Devices data; data sent to a printer becomes exactly one
// job holding exactly its bytes on "0" and no job otherwise; the Print
// dialog's result is one of its texts, "none" until a job can have been handed
// over, and "waiting" after a switch that handed one over (no dialog ever
// comes, and the tick stands still within an input); nothing leaks; at most
// one watcher runs.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <optional>
#include <set>
#include <span>

#include "fuzz/fuzz_host.h"
#include "fuzz/fuzz_input.h"
#include "simwin/simwin.h"

namespace vorelle::fuzz {
namespace {

constexpr std::u16string_view kFunctions[] = {
    u"VORL_Version",          u"VORL_GetPrinterAt",     u"VORL_SetSystemPrinter",
    u"VORL_GetSystemPrinter", u"VORL_ChangePrinter",    u"VORL_ChangeForPreview",
    u"VORL_SetToWindowsDefaultPrinter", u"VORL_SendData", u"VORL_SendHexData",
    u"VORL_GetPrintDialogResult", u"VORL_GetPrinterList",
};

const std::u16string kCountError = u"!!ERROR!! Invalid Number of Parameters";
const std::u16string kCountErrorLower = u"!!ERROR!! Invalid number of parameters";
const std::u16string kFormatError = u"!!ERROR!! Invalid Parameter format";
const std::u16string kParsingError = u"!!ERROR!! parsing parameters";
const std::u16string kNoPrinters = u"!!ERROR!! No Printers Listed";
const std::u16string kOutOfBounds = u"!!ERROR!! Index out of bounds";
const std::u16string kUnableToSet = u"!!ERROR!! Unable to set system printer";
const std::u16string kNotFound = u"!!ERROR!! Specified printer not found";
const std::u16string kNoDefault = u"!!ERROR!! There is no Windows default printer";
const std::u16string kNotBytes = u"!!ERROR!! Data holds a character above U+00FF; nothing was sent";
const std::u16string kNotHex =
    u"!!ERROR!! HexData holds a character that is neither a hexadecimal digit nor a blank; nothing was sent";
const std::u16string kBlankInPair = u"!!ERROR!! HexData has a blank inside a pair of hexadecimal digits; nothing was sent";
const std::u16string kOddDigits = u"!!ERROR!! HexData has an odd number of hexadecimal digits; nothing was sent";
const std::u16string kNotSent = u"!!ERROR!! Data not sent: the printer's queue did not take the whole job";
const std::set<std::u16string> kDialogResults = {
    u"none",       u"waiting",    u"confirmed",     u"selected", u"no dialog",  u"no printer box", u"not listed",
    u"not taken",  u"no OK button", u"not answering", u"stopped",  u"no watcher", u"watcher failed"};
const std::set<std::u16string> kSwitchStatuses = {u"0",  u"-3", u"-1", u"-2", u"2",
                                                  u"3",  u"4",  u"5",  kNotFound};

// The text up to its first NUL: what a 0-terminated copy holds.
std::u16string CString(std::u16string_view text) {
    return std::u16string(text.substr(0, text.find(u'\0')));
}

// For the report of a broken invariant: the units in hex.
void ShowUnits(const char* label, std::u16string_view units) {
    std::fprintf(stderr, "%s (%zu units):", label, units.size());
    for (std::size_t i = 0; i < units.size() && i < 64; ++i) {
        std::fprintf(stderr, " %04x", static_cast<unsigned>(units[i]));
    }
    std::fprintf(stderr, "%s\n", units.size() > 64 ? " ..." : "");
}

struct Machine {
    std::vector<std::u16string> names;  // as the spooler lists them
    bool enumerateFails = false;
    bool spoolerFails = false;  // a write or the end of a raw job fails
};

// A printer name as a spooler can hold it: no NUL, not empty, no ',' or '\'
// outside a connection's server part, not equal (ignoring case) to an
// earlier one.
std::u16string SpoolerName(std::u16string name, bool connection, const std::vector<std::u16string>& earlier) {
    std::replace(name.begin(), name.end(), u'\0', u'_');
    if (name.empty()) {
        name = u"P";
    }
    for (std::size_t i = simwin::PrinterNameLocalPart(name, connection); i < name.size(); ++i) {
        if (name[i] == u',' || name[i] == u'\\') {
            name[i] = u'_';
        }
    }
    while (std::any_of(earlier.begin(), earlier.end(),
                       [&](const std::u16string& e) { return simwin::EqualsIgnoreCase(e, name); })) {
        name += u'+';
    }
    return name;
}

Machine BuildMachine(FuzzInput& in) {
    simwin::MachineSpec setup;
    Machine machine;
    struct RawDevices {
        std::u16string name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    std::vector<RawDevices> rawDevices;
    const std::size_t count = in.U8() % 7;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t flags = in.U8();
        simwin::PrinterSpec printer;
        printer.connection = (flags & 1u) != 0;
        printer.name = SpoolerName(in.Text(), printer.connection, machine.names);
        if ((flags & 2u) == 0) {
            printer.port = in.Text();
        }
        switch ((flags >> 2) & 3u) {
            case 0:
                break;  // no Devices value
            case 1:
                printer.devices = in.Text();
                break;
            default: {
                // Any bytes: odd lengths, no terminator, another type.
                const std::uint32_t type = (flags & 16u) ? simwin::kRegBinary : simwin::kRegSz;
                rawDevices.push_back({printer.name, type, in.Bytes(in.U8())});
                break;
            }
        }
        machine.names.push_back(printer.name);
        setup.printers.push_back(std::move(printer));
    }
    const std::uint8_t defaultSelector = in.U8();
    if (defaultSelector != 0 && !machine.names.empty()) {
        setup.defaultPrinter = machine.names[defaultSelector % machine.names.size()];
    }
    const std::uint8_t keyState = in.U8() % 4;
    if (keyState != 1) {
        setup.keys = {{std::u16string(kPreferencesPath), {}}};
    }
    if (keyState == 2) {
        setup.readOnlyKeys = {std::u16string(kPreferencesPath)};
    }
    const std::uint8_t faults = in.U8();
    constexpr simwin::Fault kFaults[] = {simwin::Fault::Enumerate, simwin::Fault::PrinterDetails,
                                         simwin::Fault::DevicesKey, simwin::Fault::DevicesValue,
                                         simwin::Fault::WritePrinter};
    for (std::size_t bit = 0; bit < std::size(kFaults); ++bit) {
        // Each fault in about one machine of eight.
        if (((faults >> bit) & 1u) != 0 && (faults & 0xE0u) == 0xE0u) {
            setup.faults.push_back(kFaults[bit]);
        }
    }
    const std::uint8_t spoolerFaults = in.U8();
    // The last, a queue taking half of each write, is no failure: the rest is written after it.
    constexpr simwin::Fault kSpoolerFaults[] = {simwin::Fault::SpoolWrite, simwin::Fault::RejectJobs,
                                                simwin::Fault::WriteNothing, simwin::Fault::ShortWrite};
    for (std::size_t bit = 0; bit < std::size(kSpoolerFaults); ++bit) {
        if (((spoolerFaults >> bit) & 1u) != 0 && (spoolerFaults & 0xE0u) == 0xE0u) {
            setup.faults.push_back(kSpoolerFaults[bit]);
            machine.spoolerFails = machine.spoolerFails || kSpoolerFaults[bit] != simwin::Fault::ShortWrite;
        }
    }
    machine.enumerateFails = std::find(setup.faults.begin(), setup.faults.end(),
                                       simwin::Fault::Enumerate) != setup.faults.end();
    simwin::ResetMachine(setup);
    for (RawDevices& raw : rawDevices) {
        simwin::PutValue(simwin::kDevicesKeyPath, raw.name, raw.type, std::move(raw.data));
    }
    return machine;
}

Parameter ReadParameter(FuzzInput& in, const Machine& machine) {
    Parameter p;
    switch (in.U8() % 4) {
        case 0:
        case 1:
            p.kind = Parameter::Kind::Text;
            p.text = in.Text(machine.names);
            break;
        case 2:
            p.kind = Parameter::Kind::Number;
            p.number = in.NumberLiteral();
            break;
        default:
            p.kind = Parameter::Kind::Boolean;
            p.boolean = (in.U8() & 1u) != 0;
            break;
    }
    return p;
}

// Whether the first parameter's text form is empty. Numbers and booleans
// always have a text form.
bool FirstIsEmpty(const std::vector<Parameter>& parameters) {
    return parameters[0].kind == Parameter::Kind::Text && parameters[0].text.empty();
}

// Whether the option text is "SHORT" ignoring ASCII case. A text with a NUL
// may be compared whole or up to the NUL; both forms are accepted then.
bool IsShort(std::u16string option) {
    for (char16_t& c : option) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return option == u"SHORT";
}

bool IsName(const Machine& machine, const std::u16string& text) {
    return std::find(machine.names.begin(), machine.names.end(), text) != machine.names.end();
}

// The Devices data of a printer as the switch must copy it: up to its first
// NUL, an odd last byte as a unit of its own.
std::u16string DevicesText(const std::u16string& printer) {
    const std::optional<simwin::RegistryValue> value =
        simwin::GetValue(simwin::kDevicesKeyPath, printer);
    if (!value) {
        return {};
    }
    std::u16string units;
    for (std::size_t i = 0; i < value->data.size(); i += 2) {
        const std::uint8_t high = i + 1 < value->data.size() ? value->data[i + 1] : 0;
        units.push_back(static_cast<char16_t>(value->data[i] | (high << 8)));
    }
    return CString(units);
}

bool SamePreference(const std::optional<simwin::RegistryValue>& before,
                    const std::optional<simwin::RegistryValue>& after) {
    return before.has_value() == after.has_value() &&
           (!before || (before->type == after->type && before->data == after->data));
}

void CheckSwitch(const CallResult& result, const std::vector<Parameter>& parameters,
                 const std::optional<simwin::RegistryValue>& before) {
    Require(kSwitchStatuses.count(result.text) == 1, "a switch gave a text that is not a status");
    const std::optional<simwin::RegistryValue> after = PrinterPreference();
    if (result.text != u"0") {
        Require(SamePreference(before, after), "a failed switch changed the host's Printer preference");
        return;
    }
    Require(after.has_value() && after->type == simwin::kRegSz, "a switch wrote no REG_SZ preference");
    if (parameters[0].kind != Parameter::Kind::Text) {
        // The host's text form of a number: some printer's name, a comma
        // and that printer's Devices data.
        const std::u16string stored = after->Text();
        bool matches = false;
        for (std::size_t comma = stored.find(u','); comma != std::u16string::npos && !matches;
             comma = stored.find(u',', comma + 1)) {
            const std::u16string name = stored.substr(0, comma);
            matches = stored.substr(comma + 1) == DevicesText(name) &&
                      simwin::RegistryValue::String(u"Printer", stored).data == after->data;
        }
        Require(matches, "the Printer preference is not a name, a comma and its Devices data");
        return;
    }
    // The name as the plug-in works with it (0-terminated), a comma, the data.
    const std::u16string name = CString(parameters[0].text);
    const std::u16string expected = name + u"," + DevicesText(name);
    const simwin::RegistryValue written = simwin::RegistryValue::String(u"Printer", expected);
    if (after->data != written.data) {
        ShowUnits("expected", expected);
        ShowUnits("stored", after->Text());
    }
    Require(after->data == written.data,
            "the Printer preference is not the name, a comma and the Devices data");
}

// What a call may change, as it was before the call.
struct BeforeCall {
    std::optional<simwin::RegistryValue> preference;
    std::optional<std::u16string> defaultPrinter;
    std::size_t jobs = 0;
};

constexpr std::size_t kChangePrinter = 4;
constexpr std::size_t kSendData = 7;
constexpr std::size_t kSendHexData = 8;
constexpr std::size_t kDialogResult = 9;

// What VORL_GetPrinterList must give: the names in the spooler's order, a
// carriage return between two, each name that holds a CR or LF left out.
std::u16string PrinterListOf(const Machine& machine) {
    std::u16string list;
    for (const std::u16string& name : machine.names) {
        if (name.find_first_of(u"\r\n") == std::u16string::npos) {
            list += (list.empty() ? u"" : u"\r") + name;
        }
    }
    return list;
}

// What VORL_GetPrintDialogResult must give: "none" until VORL_ChangePrinter
// has been called in the process; "waiting" after a switch of its that
// handed a job over in this input, until another switch (one may end a
// waiting job); otherwise any of its texts.
struct DialogResultExpected {
    bool changePrinterCalled = false;
    bool waiting = false;
};
DialogResultExpected gDialogResult;

void NoteSwitch(std::size_t function, bool contained, const CallResult& result) {
    if (function == kChangePrinter) {
        gDialogResult.changePrinterCalled = true;
        if (contained) {
            gDialogResult.waiting = false;  // whether a job was handed over is not known
        } else if (result.text == u"0") {
            gDialogResult.waiting = true;
        }  // a refused switch hands over no job: the result stays
    } else if (function == 5 || function == 6) {
        gDialogResult.waiting = false;
    }
}

void CheckDialogResult(const std::vector<Parameter>& parameters, const std::u16string& text) {
    if (!parameters.empty()) {
        Require(text == kCountErrorLower, "VORL_GetPrintDialogResult: count error expected");
        return;
    }
    Require(kDialogResults.count(text) == 1, "VORL_GetPrintDialogResult gave a text that is not a result");
    Require(gDialogResult.changePrinterCalled || text == u"none",
            "VORL_GetPrintDialogResult: not \"none\" before any job");
    Require(!gDialogResult.waiting || text == u"waiting",
            "VORL_GetPrintDialogResult: not \"waiting\" while the job's watcher searches");
}

// The jobs are counted only before the two that send data: their copies cost.
BeforeCall TakeBeforeCall(std::size_t function) {
    return {PrinterPreference(), simwin::CurrentDefaultPrinter(),
            function == kSendData || function == kSendHexData ? simwin::PrintJobs().size() : 0};
}

// What a function's Data or HexData text makes: its bytes, or the error
// text that refuses it (the empty text for none).
struct ExpectedData {
    std::u16string refusal;
    std::vector<std::uint8_t> bytes;
};

ExpectedData ExpectData(std::size_t function, std::u16string_view data) {
    ExpectedData expected;
    if (function == kSendData) {
        if (std::any_of(data.begin(), data.end(), [](char16_t c) { return c > 0xFF; })) {
            expected.refusal = kNotBytes;
        }
        expected.bytes.assign(data.begin(), data.end());
        return expected;
    }
    // Pairs of digits, blanks between pairs only; the first fault decides.
    const std::u16string_view digits = u"0123456789abcdef0123456789ABCDEF";
    std::optional<int> high;
    bool blankInPair = false;
    for (const char16_t c : data) {
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
            blankInPair = high.has_value();
            continue;
        }
        const std::size_t at = digits.find(c);
        if (at == std::u16string_view::npos) {
            expected.refusal = kNotHex;
            return expected;
        }
        if (blankInPair) {
            expected.refusal = kBlankInPair;
            return expected;
        }
        if (high) {
            expected.bytes.push_back(static_cast<std::uint8_t>(*high * 16 + int(at % 16)));
            high.reset();
        } else {
            high = int(at % 16);
        }
    }
    if (high) {
        expected.refusal = kOddDigits;
    } else if (expected.bytes.empty()) {
        expected.refusal = kFormatError;
    }
    return expected;
}

void CheckSendData(std::size_t function, const std::vector<Parameter>& parameters, const CallResult& result,
                   const Machine& machine, std::size_t jobsBefore) {
    const std::u16string& text = result.text;
    const std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
    const bool oneJobMore = jobs.size() == jobsBefore + 1;
    Require(oneJobMore == (text == u"0"), "VORL_SendData: a job without \"0\", or \"0\" without a job");
    Require(jobs.size() <= jobsBefore + 1, "VORL_SendData: more than one job");
    if (parameters.size() != 2) {
        Require(text == kCountErrorLower, "VORL_SendData: count error expected");
        return;
    }
    const Parameter& data = parameters[1];
    const bool dataIsText = data.kind == Parameter::Kind::Text;
    if (FirstIsEmpty(parameters) || (dataIsText && data.text.empty())) {
        Require(text == kFormatError, "VORL_SendData: format error expected");
        return;
    }
    const ExpectedData expected = ExpectData(function, dataIsText ? data.text : u"");
    if (dataIsText && !expected.refusal.empty()) {
        Require(text == expected.refusal, "VORL_SendData: the error text of the data's fault expected");
        return;
    }
    if (!dataIsText && function == kSendHexData) {
        // A number's or a boolean's text form: hexadecimal digits or not.
        Require(text == u"0" || text == kNotFound || text == kNotSent || text == kNotHex || text == kOddDigits ||
                    text == kBlankInPair || text == kFormatError,
                "VORL_SendHexData: unknown text");
        return;
    }
    if (parameters[0].kind == Parameter::Kind::Text) {
        // The printer is opened under the name up to its first NUL, in any letter case.
        const std::u16string name = CString(parameters[0].text);
        const bool known = std::any_of(machine.names.begin(), machine.names.end(),
                                       [&](const std::u16string& n) { return simwin::EqualsIgnoreCase(n, name); });
        const std::u16string& outcome = !known ? kNotFound : machine.spoolerFails ? kNotSent : std::u16string(u"0");
        Require(text == outcome, "VORL_SendData: wrong result for the printer and the spooler's faults");
    } else {
        Require(text == u"0" || text == kNotFound || text == kNotSent, "VORL_SendData: unknown text");
    }
    if (oneJobMore && dataIsText) {
        const simwin::PrintJob& job = jobs.back();
        const bool whole = job.datatype == u"RAW" && job.bytes == expected.bytes &&
                           job.document == (function == kSendData ? u"Vorelle VORL_SendData" : u"Vorelle VORL_SendHexData");
        Require(whole, "VORL_SendData: the job is not one RAW job of exactly the data's bytes");
    }
}

void CheckCall(std::size_t function, const std::vector<Parameter>& parameters,
               const CallResult& result, const Machine& machine, const BeforeCall& before) {
    const std::optional<simwin::RegistryValue>& preferenceBefore = before.preference;
    Require(result.code == 0, "a function returned an error code");
    Require(result.writes == 1, "a function did not write exactly one result");
    Require(result.storedAsTextWithOwnLocale, "a result was not stored as text with its locale");
    const std::size_t n = parameters.size();
    const std::u16string& text = result.text;
    switch (function) {
        case 0:  // VORL_Version
            if (n == 0 || parameters[0].kind != Parameter::Kind::Text) {
                Require(text == u"Vorelle 3.0.4.3", "VORL_Version gave the wrong form");
            } else {
                const bool whole = IsShort(parameters[0].text);
                const bool upToNul = IsShort(CString(parameters[0].text));
                Require(text == (whole ? u"3.0.4.13" : u"Vorelle 3.0.4.3") ||
                            text == (upToNul ? u"3.0.4.13" : u"Vorelle 3.0.4.3"),
                        "VORL_Version gave the wrong form");
            }
            break;
        case 1:  // VORL_GetPrinterAt
            if (n != 1) {
                Require(text == kCountError, "VORL_GetPrinterAt: count error expected");
            } else if (FirstIsEmpty(parameters)) {
                Require(text == kFormatError, "VORL_GetPrinterAt: format error expected");
            } else if (machine.enumerateFails) {
                Require(text == kNoPrinters, "VORL_GetPrinterAt: enumeration failure expected");
            } else {
                Require(text == kOutOfBounds || IsName(machine, text),
                        "VORL_GetPrinterAt gave a text that is no printer of the machine");
            }
            break;
        case 2:  // VORL_SetSystemPrinter
            if (n != 1) {
                Require(text == kCountError, "VORL_SetSystemPrinter: count error expected");
            } else if (FirstIsEmpty(parameters)) {
                Require(text == kFormatError, "VORL_SetSystemPrinter: format error expected");
            } else {
                Require(text == u"0" || text == kUnableToSet, "VORL_SetSystemPrinter: unknown text");
            }
            break;
        case 3: {  // VORL_GetSystemPrinter
            Require(text.empty() || IsName(machine, text),
                    "VORL_GetSystemPrinter gave a text that is no printer of the machine");
            break;
        }
        case 4:  // VORL_ChangePrinter
            if (n < 1 || n > 5) {
                Require(text == kCountErrorLower, "VORL_ChangePrinter: count error expected");
            } else if (FirstIsEmpty(parameters)) {
                Require(text == kFormatError, "VORL_ChangePrinter: format error expected");
            } else {
                CheckSwitch(result, parameters, preferenceBefore);
            }
            break;
        case 5:  // VORL_ChangeForPreview
            if (n != 1) {
                Require(text == kCountErrorLower, "VORL_ChangeForPreview: count error expected");
            } else if (FirstIsEmpty(parameters)) {
                Require(text == kFormatError, "VORL_ChangeForPreview: format error expected");
            } else {
                CheckSwitch(result, parameters, preferenceBefore);
            }
            break;
        case 6:  // VORL_SetToWindowsDefaultPrinter
            if (n != 0) {
                Require(text == kCountErrorLower, "VORL_SetToWindowsDefaultPrinter: count error expected");
            } else if (!before.defaultPrinter) {
                Require(text == kNoDefault, "VORL_SetToWindowsDefaultPrinter: no-default error expected");
                Require(SamePreference(preferenceBefore, PrinterPreference()),
                        "VORL_SetToWindowsDefaultPrinter changed the preference without a default printer");
            } else {
                Parameter name;
                name.text = *before.defaultPrinter;
                CheckSwitch(result, {name}, preferenceBefore);
            }
            break;
        case kSendData:
        case kSendHexData:
            CheckSendData(function, parameters, result, machine, before.jobs);
            break;
        case kDialogResult:
            CheckDialogResult(parameters, text);
            break;
        default:  // VORL_GetPrinterList
            if (n != 0) {
                Require(text == kCountErrorLower, "VORL_GetPrinterList: count error expected");
            } else if (machine.enumerateFails) {
                Require(text == kNoPrinters, "VORL_GetPrinterList: enumeration failure expected");
            } else {
                Require(text == PrinterListOf(machine),
                        "VORL_GetPrinterList is not the machine's printers in order, one a value");
            }
            break;
    }
    Require(text != kParsingError, "a name copy failed although memory was plentiful");
}

void StartOnce() {
    static bool started = false;
    if (started) {
        return;
    }
    const std::u16string version(kHostVersion);
    const StartupAnswer answer = SendStartup(51, &version, PluginInstance());
    Require(answer.answered && answer.answer == 51, "the plug-in did not start");
    started = true;
}

}  // namespace
}  // namespace vorelle::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vorelle::fuzz::InitializeProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorelle::fuzz;
    StartOnce();
    FuzzInput in(std::span<const std::uint8_t>(data, size));
    const Machine machine = BuildMachine(in);
    gDialogResult.waiting = false;  // the last input's watcher has timed out, or is about to
    for (int call = 0; call < 16 && !in.AtEnd(); ++call) {
        const std::uint8_t selector = in.U8();
        const std::size_t function = (selector & 0x3Fu) % std::size(kFunctions);
        std::uint64_t failAt = 0;
        std::int32_t failCode = 0;
        if ((selector & 0xC0u) == 0xC0u) {
            failAt = 1 + in.U8() % 48;
            failCode = 1 + (in.U8() & 1);
        }
        std::vector<Parameter> parameters(in.U8() % 7);
        for (Parameter& p : parameters) {
            p = ReadParameter(in, machine);
        }
        const BeforeCall before = TakeBeforeCall(function);
        if (failAt != 0) {
            fmwrapper::FailOperation(failAt, failCode);
        }
        const CallResult result = CallFunction(kFunctions[function], parameters);
        Require(result.registered, "a function is not registered");
        const bool failed = failAt != 0 && !fmwrapper::FailureArmed();
        fmwrapper::DisarmFailure();
        if (failed) {
            NoteFailureFired();
            // Contained: the failure's code, at most the one result.
            Require(result.code == failCode, "an injected failure was not contained with its code");
            Require(result.writes <= 1, "a result was written twice");
            if (function == kSendData || function == kSendHexData) {
                // The host failing while the data is read cancels the job:
                // at most the whole job (when writing the result failed).
                const std::vector<simwin::PrintJob> jobs = simwin::PrintJobs();
                Require(jobs.size() == before.jobs ||
                            (jobs.size() == before.jobs + 1 &&
                             (parameters[1].kind != Parameter::Kind::Text ||
                              jobs.back().bytes == ExpectData(function, parameters[1].text).bytes)),
                        "VORL_SendData: an injected failure left part of a job");
            }
        } else {
            CheckCall(function, parameters, result, machine, before);
        }
        NoteSwitch(function, failed, result);
        CheckBetweenCalls();
    }
    LetWatcherTimeOut();
    return 0;
}
