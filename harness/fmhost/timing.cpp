#include "fmhost/timing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <iomanip>
#include <istream>
#include <memory>
#include <numeric>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>

#include "fmhost/escaped_text.h"
#include "fmhost/host_program.h"
#include "fmhost/line_parser.h"
#include "fmhost/session.h"
#include "fmhost/timing_frame.h"
#include "fmhost/timing_platform.h"
#include "fmwrapper/host_runtime.h"
#include "hosting/plugin_call.h"
#include "printers/preferences_path.h"

namespace fmhost {
namespace {

using timing::Clock;

constexpr std::u16string_view kChangePrinter = u"VORL_ChangePrinter";
constexpr int kDialogSeconds = 10;
constexpr int kHandOversPerCycle = 10;

double Microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }
double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Nearest-rank percentile of sorted samples.
double Percentile(const std::vector<double>& sorted, double p) {
    auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// "time LABEL UNIT N MEDIAN P99 MIN MEAN MAX", tab-separated.
void PrintFigures(std::ostream& out, std::string_view label, std::string_view unit,
                  std::vector<double> samples) {
    if (samples.empty()) {
        out << "time\t" << label << "\t" << unit << "\t0\n";
        return;
    }
    std::sort(samples.begin(), samples.end());
    const double mean =
        std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    out << std::fixed << std::setprecision(3) << "time\t" << label << "\t" << unit << "\t"
        << samples.size() << "\t" << Percentile(samples, 50) << "\t" << Percentile(samples, 99) << "\t"
        << samples.front() << "\t" << mean << "\t" << samples.back() << "\n";
    out.flush();
}

// Waits `microseconds` on the host thread: sleeps the whole milliseconds,
// spins the rest.
void Pause(std::int64_t microseconds) {
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(microseconds);
    if (microseconds > 1500) {
        timing::SleepMilliseconds(static_cast<std::uint32_t>(microseconds / 1000 - 1));
    }
    while (Clock::now() < until) {
    }
}

// One call through the function's own pointer, as the calculation engine
// makes it (no function consults the environment).
std::int16_t Invoke(const fmwrapper::RegisteredFunction& function, const fmwrapper::HostDataVect& parameters,
                    fmwrapper::HostResult& result) {
    return hosting::CallExternalFunction(function.function, function.id, nullptr, parameters.Get(), result.Get());
}

bool WholeNumber(const std::string& text, std::int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [at, fault] = std::from_chars(text.data(), end, value);
    return fault == std::errc() && at == end;
}

// The words of a timing line after its "@name", the last one running to the
// end of the line (a printer name may hold blanks).
std::vector<std::string> Words(std::string_view rest, std::size_t count) {
    std::vector<std::string> words;
    while (!rest.empty() && words.size() + 1 < count) {
        rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
        const std::size_t end = std::min(rest.find(' '), rest.size());
        if (end == 0) {
            break;
        }
        words.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    if (!rest.empty()) {
        words.emplace_back(rest);
    }
    return words;
}

// A line as its figures name it: a line of over 200 characters (a call with
// a large Data) by its first 160 and its length.
std::string Label(const std::string& line) {
    constexpr std::size_t kLongest = 200;
    return line.size() <= kLongest ? line
                                   : line.substr(0, 160) + "... (" + std::to_string(line.size()) + " characters)";
}

// One line timed by repeated calls: what the calls work on, and their
// samples. Lines of this kind are timed together, round by round, so that
// each is measured beside the others under the same conditions.
struct Sampler {
    std::string label;
    bool batched = true;  // calls under about 50 us are timed in batches
    std::uint32_t batch = 1;
    std::function<void()> once;
    std::function<void()> between = [] {};  // after each sample, untimed
    std::vector<double> samples;
    // What the calls work on.
    std::optional<fmwrapper::RegisteredFunction> function;
    fmwrapper::HostDataVect parameters;
    fmwrapper::HostResult result;
    std::unique_ptr<timing::PlatformCalls> platform;
    std::vector<char16_t> copy;
    std::vector<char16_t> data;  // raw: the Data parameter's copy
    std::int32_t position = 0;   // enumerate: the position; raw: the job's size

    // A batch of calls that takes about 50 us (or one call).
    void Calibrate() {
        if (!batched) {
            return;
        }
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 10; ++i) {
            once();
        }
        const double each = Microseconds(Clock::now() - start) / 10;
        batch = each >= 50 ? 1 : static_cast<std::uint32_t>(std::min(1000.0, 50 / std::max(each, 0.05)));
    }
    void Sample() {
        const Clock::time_point start = Clock::now();
        for (std::uint32_t j = 0; j < batch; ++j) {
            once();
        }
        samples.push_back(Microseconds(Clock::now() - start) / batch);
        between();
    }
};

class Timer {
public:
    Timer(Session& session, std::uint32_t count, std::ostream& out, std::ostream& err)
        : session_(session), count_(count), out_(out), err_(err), generator_(20240607) {}

    // False when the line cannot be timed (the fault is reported).
    bool Line(const std::string& line) {
        if (line.empty() || line[0] == '#') {
            return true;
        }
        if (line[0] == '@') {
            return TimingLine(line);
        }
        // A call.
        std::string error;
        const std::optional<ParsedLine> parsed = ParseLine(line, error);
        if (!parsed || parsed->kind != ParsedLine::Kind::Call) {
            return Fault(parsed ? "only calls and timing lines can be timed" : error, line);
        }
        return Call(parsed->call, line);
    }

    // Times the lines of repeated calls given so far, round by round: in each
    // round one sample (one batch) of every line.
    void RunPending() {
        for (const std::unique_ptr<Sampler>& sampler : pending_) {
            sampler->Calibrate();
        }
        for (std::uint32_t round = 0; round < count_; ++round) {
            for (const std::unique_ptr<Sampler>& sampler : pending_) {
                sampler->Sample();
            }
        }
        for (const std::unique_ptr<Sampler>& sampler : pending_) {
            PrintFigures(out_, sampler->label, "us", std::move(sampler->samples));
        }
        pending_.clear();
    }

    bool FunctionFailed() const { return functionFailed_; }

private:
    bool Fault(const std::string& what, const std::string& line) {
        err_ << "fmhost: --time: " << what << ": " << line << "\n";
        return false;
    }

    std::optional<fmwrapper::RegisteredFunction> Function(std::u16string_view name, const std::string& line) {
        auto function = fmwrapper::FindFunction(name);
        if (!function) {
            Fault("no function " + fmwrapper::Utf16ToUtf8(name) + " is registered", line);
        }
        return function;
    }

    // A function call: one call not counted (its result printed), then the
    // timed calls, among those of the other lines of repeated calls.
    bool Call(const FunctionCall& call, const std::string& line) {
        auto sampler = std::make_unique<Sampler>();
        sampler->function = Function(call.name, line);
        auto parameters = hosting::MakeParameterVector(call.parameters);
        if (!sampler->function || !parameters) {
            return sampler->function ? Fault("malformed number", line) : false;
        }
        Sampler& s = *sampler;
        s.parameters = std::move(*parameters);
        s.label = Label(line);
        // A call that starts a thread is timed alone: the thread must not
        // meet the next call.
        s.batched = call.name != kChangePrinter;
        s.once = [&s] { Invoke(*s.function, s.parameters, s.result); };
        functionFailed_ = Invoke(*s.function, s.parameters, s.result) != 0 || functionFailed_;
        out_ << "result\t" << s.label << "\t" << EscapedText(s.result.Text()) << "\n";
        pending_.push_back(std::move(sampler));
        return true;
    }

    bool TimingLine(const std::string& line) {
        const std::size_t end = std::min(line.find(' '), line.size());
        const std::string name = line.substr(1, end - 1);
        const std::string_view rest = std::string_view(line).substr(end);
        if (name == "group" && rest.find_first_not_of(' ') == std::string_view::npos) {
            RunPending();
            return true;
        }
        if (name == "bare" || name == "platform") {
            std::vector<std::string> words = Words(rest, 2);
            if (!words.empty() && (words[0] == "frame" || words[0] == "raw")) {
                words = Words(rest, 3);  // frame PARAMETER RESULT / raw SIZE NAME
            }
            return Bare(words, name == "bare", line);
        }
        if (name == "sleep" && rest.find_first_not_of(' ') == std::string_view::npos) {
            auto sampler = std::make_unique<Sampler>();
            sampler->label = "Sleep(1)";
            sampler->batched = false;
            sampler->once = [] { timing::SleepMilliseconds(1); };
            pending_.push_back(std::move(sampler));
            return true;
        }
        RunPending();
        const std::vector<std::string> words = Words(rest, name == "search" || name == "idle" ? 2 : 1);
        if (name == "handover" && words.size() == 1) {
            return HandOver(fmwrapper::Utf8ToUtf16(words[0]), line);
        }
        if ((name == "select" || name == "confirm") && words.size() == 1) {
            return Dialogs(fmwrapper::Utf8ToUtf16(words[0]), name == "select", line);
        }
        if ((name == "search" && words.size() == 2) || (name == "idle" && words.size() == 1)) {
            return Cpu(words, line);
        }
        if (name == "list" && words.empty()) {
            return List(line);
        }
        return Fault("unknown or malformed timing line", line);
    }

    // @bare KIND [ARGUMENT] / @platform KIND [ARGUMENT]: the calls a function
    // must make, with (bare) or without (platform) the host runtime's
    // operations of its frame.
    bool Bare(const std::vector<std::string>& words, bool withFrame, const std::string& line) {
        if (words.empty()) {
            return Fault("@bare and @platform need a kind", line);
        }
        auto sampler = std::make_unique<Sampler>();
        Sampler& s = *sampler;
        s.label = line;
        const std::string& kind = words[0];
        const std::u16string argument =
            fmwrapper::Utf8ToUtf16(words.size() > 2 && kind == "raw" ? words[2] : words.size() > 1 ? words[1] : "");
        std::optional<timing::Calls> calls;
        std::u16string frameResult;
        if (kind == "frame" && words.size() == 3) {
            s.parameters.AppendText(argument);
            frameResult = fmwrapper::Utf8ToUtf16(words[2]);
        } else if (kind == "enumerate" && words.size() == 2 && WholeNumber(words[1], s.position)) {
            s.parameters.AppendNumber(words[1]);
            calls = timing::Calls::Enumerate;
        } else if (kind == "default" && words.size() == 1) {
            calls = timing::Calls::DefaultPrinter;
        } else if (kind == "set-default" && words.size() == 2) {
            calls = timing::Calls::SetDefault;
        } else if (kind == "switch" && words.size() == 2) {
            calls = timing::Calls::Switch;
        } else if (kind == "switch-handover" && words.size() == 2) {
            calls = timing::Calls::SwitchAndHandOver;
        } else if (kind == "raw" && words.size() == 3 && WholeNumber(words[1], s.position) && s.position >= 0) {
            calls = timing::Calls::RawJob;
        } else {
            return Fault("unknown kind of bare calls", line);
        }
        if (!withFrame && !calls) {
            return Fault("@platform frame makes no calls", line);
        }
        if (calls == timing::Calls::SetDefault || calls == timing::Calls::Switch ||
            calls == timing::Calls::SwitchAndHandOver || calls == timing::Calls::RawJob) {
            s.parameters.AppendText(argument);
        }
        if (calls) {
            s.platform = std::make_unique<timing::PlatformCalls>(
                *calls, argument, vorelle::printers::ChoosePreferencesPath(session_.Settings().hostVersion));
        }
        if (calls == timing::Calls::RawJob) {
            // The Data parameter, whose characters the frame narrows to the job's bytes.
            s.platform->JobData() = timing::RawJobPattern(static_cast<std::size_t>(s.position));
            const std::vector<std::uint8_t>& bytes = s.platform->JobData();
            s.parameters.AppendText(std::u16string(bytes.begin(), bytes.end()));
            s.data.assign(bytes.size() + 1, u'\0');
        }
        s.copy.assign(argument.size() + 1, u'\0');
        if (calls == timing::Calls::SwitchAndHandOver) {
            // Timed alone, and its thread has ended before the next sample.
            s.batched = false;
            s.between = [&s] { s.platform->AwaitThreadEnd(); };
        }
        // Whether the calls gave their text; `ok` of the last run.
        auto ok = std::make_shared<bool>(false);
        if (!withFrame) {
            s.once = [&s, ok] { *ok = s.platform->Run(s.position, nullptr) != nullptr; };
        } else {
            s.once = [&s, ok, calls, frameResult] {
                timing::BareFrame frame;
                frame.Count(s.parameters.Get());
                const char16_t* text = nullptr;
                if (calls == timing::Calls::Enumerate) {
                    frame.TextLength(s.parameters.Get());
                    text = s.platform->Run(frame.Integer(s.parameters.Get()), nullptr);
                } else if (calls == timing::Calls::DefaultPrinter) {
                    text = s.platform->Run(0, nullptr);
                } else if (calls == timing::Calls::RawJob) {
                    frame.CopyText(s.parameters.Get(), s.copy.data(), frame.TextLength(s.parameters.Get()));
                    text = frame.CopyBytes(s.parameters.Get(), 1, s.data, s.platform->JobData())
                               ? s.platform->Run(0, s.copy.data())
                               : nullptr;
                } else {
                    frame.CopyText(s.parameters.Get(), s.copy.data(), frame.TextLength(s.parameters.Get()));
                    text = calls ? s.platform->Run(0, s.copy.data()) : frameResult.c_str();
                }
                frame.Write(s.result.Get(), text != nullptr ? text : u"");
                *ok = text != nullptr;
            };
        }
        s.once();
        s.between();
        if (withFrame) {
            out_ << "result\t" << line << "\t" << EscapedText(s.result.Text()) << "\n";
        }
        if (!*ok) {
            return Fault("the calls failed", line);
        }
        pending_.push_back(std::move(sampler));
        return true;
    }

    // A random point in the watcher's poll, once it is searching.
    void WhileSearching() {
        std::uniform_int_distribution<std::int64_t> pause(3000, 6000);
        Pause(pause(generator_));
    }

    bool Restart(const std::string& line) {
        if (!session_.StartUp().Accepted()) {
            return Fault("the plug-in refused start-up again", line);
        }
        return true;
    }

    // @handover NAME: COUNT cycles of: VORL_ChangePrinter(NAME) with no watcher
    // running; ten more, each meeting the previous call's watcher searching;
    // a shutdown with that watcher searching; a shutdown with none.
    bool HandOver(const std::u16string& printer, const std::string& line) {
        fmwrapper::HostDataVect parameters;
        parameters.AppendText(printer);
        fmwrapper::HostResult result;
        std::vector<double> none;
        std::vector<double> searching;
        std::vector<double> shutdownSearching;
        std::vector<double> shutdownNone;
        for (std::uint32_t cycle = 0; cycle < count_; ++cycle) {
            const auto function = Function(kChangePrinter, line);
            if (!function) {
                return false;
            }
            Clock::time_point start = Clock::now();
            Invoke(*function, parameters, result);
            none.push_back(Microseconds(Clock::now() - start));
            if (result.Text() != u"0") {
                return Fault("VORL_ChangePrinter answered " + fmwrapper::Utf16ToUtf8(result.Text()), line);
            }
            for (int i = 0; i < kHandOversPerCycle; ++i) {
                WhileSearching();
                start = Clock::now();
                Invoke(*function, parameters, result);
                searching.push_back(Microseconds(Clock::now() - start));
            }
            WhileSearching();
            start = Clock::now();
            session_.Host().Shutdown();
            shutdownSearching.push_back(Milliseconds(Clock::now() - start));
            if (!Restart(line)) {
                return false;
            }
            start = Clock::now();
            session_.Host().Shutdown();
            shutdownNone.push_back(Milliseconds(Clock::now() - start));
            if (!Restart(line)) {
                return false;
            }
        }
        PrintFigures(out_, "handover after start-up", "us", std::move(none));
        PrintFigures(out_, "handover searching", "us", std::move(searching));
        PrintFigures(out_, "shutdown none", "ms", std::move(shutdownNone));
        PrintFigures(out_, "shutdown searching", "ms", std::move(shutdownSearching));
        return true;
    }

    // @select NAME / @confirm NAME: COUNT Print dialogs, each opened at a
    // random point of a searching watcher's poll (and, when confirmed, of the
    // calendar second that ends the watcher's pause before confirming).
    bool Dialogs(const std::u16string& printer, bool selectOnly, const std::string& line) {
        fmwrapper::HostDataVect parameters;
        parameters.AppendText(printer);
        parameters.AppendBoolean(selectOnly);
        fmwrapper::HostResult result;
        std::uniform_int_distribution<std::int64_t> phase(0, 999'999);
        std::vector<double> handOvers;
        std::vector<double> comboAsked;
        std::vector<double> selected;
        std::vector<double> confirmed;
        std::size_t failures = 0;
        for (std::uint32_t i = 0; i < count_; ++i) {
            if (!selectOnly) {
                Pause(phase(generator_));
            }
            const auto function = Function(kChangePrinter, line);
            if (!function) {
                return false;
            }
            // The previous dialog's watcher ended once it had selected (or
            // confirmed); a moment more, and the hand-over meets none running.
            Pause(2000);
            const Clock::time_point start = Clock::now();
            Invoke(*function, parameters, result);
            handOvers.push_back(Microseconds(Clock::now() - start));
            if (result.Text() != u"0") {
                return Fault("VORL_ChangePrinter answered " + fmwrapper::Utf16ToUtf8(result.Text()), line);
            }
            WhileSearching();
            const timing::DialogTiming timed =
                timing::TimePrintDialog(session_.Settings().dialog, selectOnly, kDialogSeconds);
            const bool ok = timed.opened && timed.selectedMs &&
                            (selectOnly || (timed.confirmedMs && timed.confirmedPrinter == printer));
            if (!ok) {
                ++failures;
                continue;
            }
            selected.push_back(*timed.selectedMs);
            if (timed.comboAskedMs) {
                comboAsked.push_back(*timed.comboAskedMs);
            }
            if (!selectOnly) {
                confirmed.push_back(*timed.confirmedMs);
            }
        }
        const std::string label = selectOnly ? "select" : "confirm";
        out_ << "failures\t" << label << "\t" << failures << "\n";
        PrintFigures(out_, label + " handover", "us", std::move(handOvers));
        PrintFigures(out_, label + " combo asked", "ms", std::move(comboAsked));
        PrintFigures(out_, label + " selected", "ms", std::move(selected));
        if (!selectOnly) {
            PrintFigures(out_, label + " confirmed", "ms", std::move(confirmed));
        }
        return true;
    }

    // @search SECONDS NAME / @idle SECONDS: the process's CPU time per second
    // while a watcher searches for a dialog that does not come, or at rest.
    bool Cpu(const std::vector<std::string>& words, const std::string& line) {
        double seconds = 0;
        std::istringstream(words[0]) >> seconds;
        if (!(seconds > 0 && seconds <= 20)) {
            return Fault("the seconds must lie above 0 and at most 20 (the watcher's own limit)", line);
        }
        const bool search = words.size() == 2;
        if (search) {
            const auto function = Function(kChangePrinter, line);
            fmwrapper::HostDataVect parameters;
            parameters.AppendText(fmwrapper::Utf8ToUtf16(words[1]));
            fmwrapper::HostResult result;
            if (!function || Invoke(*function, parameters, result) != 0 || result.Text() != u"0") {
                return Fault("VORL_ChangePrinter did not start a watcher", line);
            }
            WhileSearching();
        }
        const double cpu = timing::ProcessCpuSeconds();
        const Clock::time_point start = Clock::now();
        timing::SleepMilliseconds(static_cast<std::uint32_t>(seconds * 1000));
        const double used = timing::ProcessCpuSeconds() - cpu;
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        out_ << std::fixed << std::setprecision(3) << "cpu\t" << (search ? "search" : "idle") << "\t" << wall
             << "\t" << 100.0 * used / wall << "\n";
        out_.flush();
        if (search) {
            // The shutdown stops the watcher; a fresh start-up for what follows.
            session_.Host().Shutdown();
            return Restart(line);
        }
        return true;
    }

    // @list: the whole printer list read position by position, COUNT times.
    bool List(const std::string& line) {
        const auto function = Function(u"VORL_GetPrinterAt", line);
        if (!function) {
            return false;
        }
        std::vector<fmwrapper::HostDataVect> positions;
        fmwrapper::HostResult result;
        for (std::int64_t i = 1;; ++i) {
            fmwrapper::HostDataVect position;
            position.AppendNumber(std::to_string(i));
            Invoke(*function, position, result);
            if (result.Text().rfind(u"!!ERROR!!", 0) == 0) {
                break;
            }
            positions.push_back(std::move(position));
        }
        std::vector<double> samples;
        for (std::uint32_t i = 0; i < count_; ++i) {
            const Clock::time_point start = Clock::now();
            for (const fmwrapper::HostDataVect& position : positions) {
                Invoke(*function, position, result);
            }
            samples.push_back(Milliseconds(Clock::now() - start));
        }
        PrintFigures(out_, "list " + std::to_string(positions.size()), "ms", std::move(samples));
        return true;
    }

    Session& session_;
    std::uint32_t count_;
    std::ostream& out_;
    std::ostream& err_;
    std::mt19937_64 generator_;
    bool functionFailed_ = false;
    std::vector<std::unique_ptr<Sampler>> pending_;
};

}  // namespace

int RunTiming(Session& session, std::uint32_t count, const std::vector<std::string>& lines,
              std::istream& in, std::ostream& out, std::ostream& err) {
    Timer timer(session, count, out, err);
    auto run = [&](const std::string& line) { return timer.Line(line); };
    if (!lines.empty()) {
        for (const std::string& line : lines) {
            if (!run(line)) {
                return kExitUsage;
            }
        }
    } else {
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!run(line)) {
                return kExitUsage;
            }
        }
    }
    timer.RunPending();
    return timer.FunctionFailed() ? kExitFunctionError : kExitOk;
}

namespace timing {

std::vector<std::uint8_t> RawJobPattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    return bytes;
}

}  // namespace timing

std::string_view TimingUsageText() {
    return R"TEXT(Timing (--time N): each LINE is timed N times on the host thread; one
tab-separated line per figure: "time LABEL UNIT COUNT MEDIAN P99 MIN MEAN MAX".
Calls, @bare, @platform and @sleep lines are timed together, round by round
(one sample of each line per round), up to the next line of another kind or
the next "@group" line.
  a call                    one call not counted (printed as "result LINE TEXT"),
                            then N timed calls through the function's pointer
                            (calls under 50 us in batches: a sample is then a
                            batch's time per call)
  @bare KIND [ARG]          the same work made of bare calls: the host runtime's
  @platform KIND [ARG]      operations of the function's frame (@bare only) and
                            the platform calls; KIND: frame TEXT RESULT
                            (reads TEXT, writes RESULT, no platform call),
                            enumerate POSITION, default, set-default NAME,
                            switch NAME, switch-handover NAME, raw SIZE NAME
                            (a RAW job of SIZE bytes "ABC...Z" over and over,
                            as VORL_SendData(NAME; that text) sends; a call
                            line over 200 characters is named by its first 160)
  @sleep                    Sleep(1), the watcher's poll
  @list                     the whole printer list read by VORL_GetPrinterAt
                            position by position (one sample per list)
  @handover NAME            N cycles: VORL_ChangePrinter(NAME) right after
                            start-up, 10 meeting a searching watcher, a
                            shutdown with a searching watcher, one with none
  @select NAME              N Print dialogs after VORL_ChangePrinter(NAME; True):
                            the call (no watcher running: the previous one has
                            ended), and from findable to the combo box's first
                            message and to selected
  @confirm NAME             N Print dialogs after VORL_ChangePrinter(NAME): to
                            selected and to confirmed
  @search SECONDS NAME      CPU of the process per second while a watcher searches
  @idle SECONDS             the same at rest ("cpu search|idle SECONDS PERCENT")
)TEXT";
}

}  // namespace fmhost
