#include "fmhost/session.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

#include "fmhost/escaped_text.h"
#include "printers/preferences_path.h"
#include "hosting/plugin_call.h"

namespace fmhost {
namespace {

template <typename Int>
bool ParseInteger(std::string_view text, Int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// How long :print, :print-setup and :other-print wait for their dialog to be
// confirmed when not told.
constexpr int kDefaultPrintSeconds = 30;

// A dialog action's one optional argument: whole seconds, not negative
// (`seconds` keeps its default when none is given).
bool OptionalSeconds(const std::vector<std::string>& args, int& seconds) {
    return args.empty() || (args.size() == 1 && ParseInteger(args[0], seconds) && seconds >= 0);
}

// The first `count` words of a host action joined by one blank.
std::string JoinedWords(const std::vector<std::string>& args, std::size_t count) {
    std::string joined = args[0];
    for (std::size_t i = 1; i < count; ++i) {
        joined += " " + args[i];
    }
    return joined;
}

// A printer name given to a host action: its words joined by one blank.
std::string PrinterNameOf(const std::vector<std::string>& args) { return JoinedWords(args, args.size()); }

// "custom dialog closed by OK", and the commands sent to it from elsewhere.
std::string CustomDialogResult(const std::vector<std::uintptr_t>& commands) {
    std::string result = "custom dialog closed by OK";
    for (std::size_t i = 0; i < commands.size(); ++i) {
        char hex[2 * sizeof(std::uintptr_t)] = {};
        const auto written = std::to_chars(std::begin(hex), std::end(hex), commands[i], 16);
        result += (i == 0 ? "; sent from elsewhere: " : ", ");
        result += "WM_COMMAND 0x" + std::string(std::begin(hex), written.ptr);
    }
    return result;
}

std::string FunctionNameOf(const FunctionCall& call) { return fmwrapper::Utf16ToUtf8(call.name); }

LineOutcome ErrorOutcome(std::string message) {
    LineOutcome outcome;
    outcome.kind = LineOutcome::Kind::Error;
    outcome.error = std::move(message);
    return outcome;
}

// "N:CODE" or "N CODE" of a failure to arm.
bool ParseFailure(const std::vector<std::string>& words, std::uint64_t& nth, std::int32_t& code) {
    std::string_view first, second;
    if (words.size() == 1) {
        const std::size_t colon = words[0].find(':');
        if (colon == std::string::npos) {
            return false;
        }
        first = std::string_view(words[0]).substr(0, colon);
        second = std::string_view(words[0]).substr(colon + 1);
    } else if (words.size() == 2) {
        first = words[0];
        second = words[1];
    } else {
        return false;
    }
    return ParseInteger(first, nth) && nth >= 1 && ParseInteger(second, code) && code != 0;
}

// The page of the session's Nth print: its document and its one line both
// name the job.
PrintedPage PageOfJob(unsigned number) {
    const std::u16string job = u"fmhost job " + fmwrapper::Utf8ToUtf16(std::to_string(number));
    return PrintedPage{job, u"This page is " + job + u"."};
}

// "printed to NAME", "not printed to NAME: WHY" or "cancelled".
std::string PrintResult(const PrintOutcome& printed) {
    if (!printed.confirmed) {
        return "cancelled";
    }
    const std::string printer = EscapedText(printed.printer);
    return printed.failure.empty() ? "printed to " + printer
                                   : "not printed to " + printer + ": " + printed.failure;
}

}  // namespace

Session::Session(SessionSettings settings) : settings_(std::move(settings)) {}

hosting::StartupOutcome Session::StartUp() {
    return host_.StartUp(settings_.interfaceVersion, settings_.hostVersion);
}

LineOutcome Session::EvaluateLine(std::string_view line) {
    std::string error;
    const auto parsed = ParseLine(line, error);
    if (!parsed) {
        return ErrorOutcome(error);
    }
    switch (parsed->kind) {
        case ParsedLine::Kind::Nothing:
            return LineOutcome{};
        case ParsedLine::Kind::Call:
            return EvaluateCall(parsed->call);
        case ParsedLine::Kind::Action:
            return EvaluateAction(parsed->action);
    }
    return LineOutcome{};
}

LineOutcome Session::EvaluateCall(const FunctionCall& call) {
    const auto function = fmwrapper::FindFunction(call.name);
    if (!function) {
        return ErrorOutcome("no function " + FunctionNameOf(call) + " is registered");
    }
    LineOutcome outcome;
    outcome.kind = LineOutcome::Kind::Call;
    const auto count = static_cast<long>(call.parameters.size());
    if (count < function->minParameters || count > function->maxParameters) {
        outcome.warnings.push_back(
            fmwrapper::Utf16ToUtf8(function->name) + " is registered for " +
            std::to_string(function->minParameters) + ".." + std::to_string(function->maxParameters) +
            " parameters; passing " + std::to_string(count));
    }
    std::string error;
    auto result = Call(call.name, call.parameters, &error);
    if (!result) {
        return ErrorOutcome(error);
    }
    if (result->code != 0) {
        outcome.warnings.push_back(fmwrapper::Utf16ToUtf8(function->name) + " returned error code " +
                                   std::to_string(result->code) +
                                   (result->resultWritten ? "" : " and wrote no result"));
    } else if (!result->resultWritten) {
        outcome.warnings.push_back(fmwrapper::Utf16ToUtf8(function->name) + " wrote no result");
    }
    outcome.output = EscapedText(result->resultText);
    outcome.call = std::move(result);
    return outcome;
}

LineOutcome Session::EvaluateAction(const HostAction& action) {
    LineOutcome outcome;
    outcome.kind = LineOutcome::Kind::Action;
    const std::vector<std::string>& args = action.arguments;
    if (action.name == "string") {
        unsigned id = 0;
        std::uint32_t size = hosting::kDefaultStringSize;
        if (args.empty() || args.size() > 2 || !ParseInteger(args[0], id) || id > 255 ||
            (args.size() == 2 && !ParseInteger(args[1], size))) {
            return ErrorOutcome(":string takes a string id (0 to 255) and an optional size in units");
        }
        const hosting::StringReply reply = host_.RequestString(static_cast<std::uint8_t>(id), size);
        if (reply.overran) {
            outcome.warnings.push_back("the plug-in wrote past the " + std::to_string(size) +
                                       "-unit buffer of string " + std::to_string(id));
        }
        if (!reply.terminated && size != 0) {
            outcome.warnings.push_back("string " + std::to_string(id) + " is not terminated");
        }
        outcome.output = EscapedText(reply.text);
    } else if (action.name == "preference") {
        if (!args.empty()) {
            return ErrorOutcome(":preference takes nothing");
        }
        const std::u16string path = vorelle::printers::ChoosePreferencesPath(settings_.hostVersion);
        std::optional<std::u16string> value;
        if (!path.empty()) {
            value = ReadPrinterPreference(path);
        }
        outcome.output = value ? EscapedText(*value) : "(none)";
    } else if (action.name == "queue") {
        if (args.empty()) {
            return ErrorOutcome(":queue takes a printer name (its words joined by one blank)");
        }
        std::string error;
        outcome.output = QueueContents(fmwrapper::Utf8ToUtf16(PrinterNameOf(args)), error);
        if (!outcome.output) {
            return ErrorOutcome(error);
        }
    } else if (action.name == "remove-printer") {
        if (args.empty()) {
            return ErrorOutcome(":remove-printer takes a printer name (its words joined by one blank)");
        }
        const std::string printer = PrinterNameOf(args);
        std::string error;
        if (!RemovePrinter(fmwrapper::Utf8ToUtf16(printer), error)) {
            return ErrorOutcome(error);
        }
        outcome.output = "removed " + printer;
    } else if (action.name == "print") {
        int seconds = kDefaultPrintSeconds;
        if (!OptionalSeconds(args, seconds)) {
            return ErrorOutcome(":print takes an optional number of seconds");
        }
        outcome.output = PrintResult(
            RunPrintDialog(settings_.dialog, settings_.printTemplate, seconds, PageOfJob(++printJobs_)));
    } else if (action.name == "print-setup") {
        int seconds = kDefaultPrintSeconds;
        if (!OptionalSeconds(args, seconds)) {
            return ErrorOutcome(":print-setup takes an optional number of seconds");
        }
        const PrintOutcome setup = RunPrintSetupDialog(seconds);
        outcome.output =
            setup.confirmed ? "print setup confirmed: " + EscapedText(setup.printer) : "cancelled";
    } else if (action.name == "other-print") {
        int seconds = kDefaultPrintSeconds;
        if (!OptionalSeconds(args, seconds)) {
            return ErrorOutcome(":other-print takes an optional number of seconds");
        }
        std::fflush(stdout);
        const std::optional<PrintOutcome> printed =
            RunPrintDialogElsewhere(settings_.dialog, seconds, PageOfJob(++printJobs_));
        if (printed) {
            outcome.output = PrintResult(*printed);
        }
    } else if (action.name == "custom-dialog") {
        int seconds = 0;
        if (args.size() < 2 || !ParseInteger(args.back(), seconds) || seconds < 0) {
            return ErrorOutcome(":custom-dialog takes a caption and a number of seconds");
        }
        std::string caption = JoinedWords(args, args.size() - 1);
        if (caption.size() >= 2 && caption.front() == '"' && caption.back() == '"') {
            caption = caption.substr(1, caption.size() - 2);
        }
        const auto commands = ShowCustomDialog(fmwrapper::Utf8ToUtf16(caption), seconds);
        if (!commands) {
            return ErrorOutcome("the custom dialog cannot be shown");
        }
        outcome.output = CustomDialogResult(*commands);
    } else if (action.name == "unanswering-print") {
        int seconds = 0;
        if (args.size() != 1 || !ParseInteger(args[0], seconds) || seconds < 0) {
            return ErrorOutcome(":unanswering-print takes a number of seconds");
        }
        if (!OpenUnansweringPrintDialog(settings_.dialog, seconds)) {
            return ErrorOutcome("the Print dialog cannot be shown");
        }
    } else if (action.name == "elapsed") {
        if (!args.empty()) {
            return ErrorOutcome(":elapsed takes nothing");
        }
        const auto now = std::chrono::steady_clock::now();
        outcome.output = std::to_string(
            std::chrono::duration_cast<std::chrono::milliseconds>(now - lastElapsed_).count());
        lastElapsed_ = now;
    } else if (action.name == "exit") {
        if (!args.empty()) {
            return ErrorOutcome(":exit takes nothing");
        }
        ExitHostProcess(0);
    } else if (action.name == "idle") {
        if (!args.empty()) {
            return ErrorOutcome(":idle takes nothing");
        }
        host_.Idle();
    } else if (action.name == "message") {
        unsigned code = 0;
        if (args.size() != 1 || !ParseInteger(args[0], code) || code > 255) {
            return ErrorOutcome(":message takes a message code (0 to 255)");
        }
        host_.SendMessage(static_cast<std::uint8_t>(code));
    } else if (action.name == "fail") {
        std::uint64_t nth = 0;
        std::int32_t code = 0;
        if (!ParseFailure(args, nth, code)) {
            return ErrorOutcome(":fail takes N:CODE (the Nth runtime operation from now fails with CODE)");
        }
        fmwrapper::FailOperation(nth, code);
    } else {
        return ErrorOutcome("unknown host action :" + action.name);
    }
    return outcome;
}

}  // namespace fmhost
