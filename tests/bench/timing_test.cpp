// fmhost's timing mode (fmhost --time N) with the plug-in on the simulated
// Windows: the figures it prints, its bare references doing exactly the work
// of the functions they stand beside, its watcher experiments counting their
// samples, and its faults. No timing here is a measurement: only bounds that
// the design guarantees (a Sleep(1) lasts at least 1 ms, a shutdown 500 ms).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fmhost/host_program.h"
#include "fmhost/options.h"
#include "fmwrapper/host_runtime.h"
#include "simwin/simwin.h"
#include "tests/bounded_wait.h"

namespace {

constexpr const char* kPreferences = "Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences";

struct Figures {
    std::string unit;
    int count = 0;
    double median = 0, p99 = 0, min = 0, mean = 0, max = 0;
};

struct TimedRun {
    int status = -1;
    std::string err;
    std::map<std::string, Figures> figures;       // "time" lines by label
    std::map<std::string, std::string> results;   // "result" lines by label
    std::map<std::string, std::string> others;    // "cpu" and "failures" lines, by their second field
    std::vector<std::string> malformed;           // lines of no known shape
};

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) {
        fields.push_back(field);
    }
    return fields;
}

// fmhost --time COUNT LINES... in-process, on the sample machine.
TimedRun Time(int count, std::vector<std::string> lines) {
    fmwrapper::ResetRuntime();
    std::vector<std::string> arguments = {"--plugin", VORELLE_PLUGIN_PATH, "--time", std::to_string(count)};
    arguments.insert(arguments.end(), lines.begin(), lines.end());
    std::istringstream in;
    std::ostringstream out, err;
    TimedRun run;
    // A timing run takes seconds; one that waits on a hung watcher fails here.
    run.status = test_support::WithinBound(
        "fmhost --time to finish", [&] { return fmhost::RunHost(arguments, in, out, err); },
        std::chrono::seconds(15));
    run.err = err.str();
    std::istringstream output(out.str());
    for (std::string line; std::getline(output, line);) {
        const std::vector<std::string> f = Fields(line);
        if (f.size() == 9 && f[0] == "time") {
            run.figures[f[1]] = {f[2],          std::stoi(f[3]), std::stod(f[4]), std::stod(f[5]),
                                 std::stod(f[6]), std::stod(f[7]), std::stod(f[8])};
        } else if (f.size() == 3 && f[0] == "result") {
            run.results[f[1]] = f[2];
        } else if (f.size() >= 3 && (f[0] == "cpu" || f[0] == "failures")) {
            run.others[f[0] + " " + f[1]] = line;
        } else {
            run.malformed.push_back(line);
        }
    }
    return run;
}

void ExpectOrdered(const std::string& label, const Figures& f) {
    EXPECT_LE(f.min, f.median) << label;
    EXPECT_LE(f.median, f.p99) << label;
    EXPECT_LE(f.p99, f.max) << label;
    EXPECT_LE(f.min, f.mean) << label;
    EXPECT_LE(f.mean, f.max) << label;
    EXPECT_GT(f.min, 0) << label;
}

TEST(TimingMode, TheOptionTakesACountOfAtLeastOne) {
    fmhost::Options options;
    std::string error;
    EXPECT_TRUE(fmhost::ParseOptions({"--time", "7", "VORL_Version"}, options, error)) << error;
    EXPECT_EQ(options.timeCount, 7u);
    for (const char* bad : {"0", "-3", "many", ""}) {
        fmhost::Options rejected;
        EXPECT_FALSE(fmhost::ParseOptions({"--time", bad}, rejected, error)) << bad;
        EXPECT_NE(error.find("--time"), std::string::npos);
    }
    EXPECT_NE(fmhost::UsageText().find("@bare"), std::string::npos);
}

TEST(TimingMode, CallsAndTheirReferencesGiveTheSameResultsAndOrderedFigures) {
    const TimedRun run = Time(25, {"VORL_Version( \"SHORT\" )", "@bare frame SHORT 3.0.4.13",
                              "VORL_GetPrinterAt( 3 )", "@bare enumerate 3", "@platform enumerate 3",
                              "@group", "VORL_GetSystemPrinter", "@bare default", "@platform default",
                              "@sleep"});
    ASSERT_EQ(run.status, fmhost::kExitOk) << run.err;
    EXPECT_TRUE(run.malformed.empty()) << run.malformed.front();
    EXPECT_EQ(run.results.at("VORL_Version( \"SHORT\" )"), "3.0.4.13");
    EXPECT_EQ(run.results.at("@bare frame SHORT 3.0.4.13"), "3.0.4.13");
    EXPECT_EQ(run.results.at("VORL_GetPrinterAt( 3 )"), "\\\\print-server\\Accounts");
    EXPECT_EQ(run.results.at("@bare enumerate 3"), "\\\\print-server\\Accounts");
    EXPECT_EQ(run.results.at("VORL_GetSystemPrinter"), "Office Laser");
    EXPECT_EQ(run.results.at("@bare default"), "Office Laser");
    EXPECT_EQ(run.figures.size(), 9u);
    for (const auto& [label, f] : run.figures) {
        EXPECT_EQ(f.count, 25) << label;
        EXPECT_EQ(f.unit, "us") << label;
        ExpectOrdered(label, f);
    }
    EXPECT_GE(run.figures.at("Sleep(1)").min, 1000.0);  // Sleep(1) never returns early
}

TEST(TimingMode, TheSwitchReferencesWriteWhatTheFunctionsWrite) {
    const TimedRun function = Time(3, {"VORL_ChangeForPreview( \"Invoices\" )"});
    ASSERT_EQ(function.status, fmhost::kExitOk) << function.err;
    const auto written = simwin::GetValue(fmwrapper::Utf8ToUtf16(kPreferences), u"Printer");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->Text(), u"Invoices,winspool,IP_10.1.2.30");

    const simwin::HandleCounts before = simwin::CountHandles();
    const TimedRun bare = Time(3, {"@bare switch Invoices", "@group", "@bare switch-handover Invoices",
                              "@platform switch-handover Invoices", "@group", "@bare set-default Invoices"});
    ASSERT_EQ(bare.status, fmhost::kExitOk) << bare.err;
    const auto rewritten = simwin::GetValue(fmwrapper::Utf8ToUtf16(kPreferences), u"Printer");
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->data, written->data);
    EXPECT_EQ(rewritten->type, written->type);
    EXPECT_EQ(simwin::CurrentDefaultPrinter(), u"Invoices");
    EXPECT_EQ(bare.results.at("@bare switch-handover Invoices"), "0");
    // Every printer, key, mutex and thread the references opened is closed again.
    const simwin::HandleCounts after = simwin::CountHandles();
    EXPECT_EQ(after.printers, before.printers);
    EXPECT_EQ(after.keys, before.keys);
    EXPECT_EQ(after.kernel(), before.kernel());
    EXPECT_EQ(after.runningThreads, 0u);
}

TEST(TimingMode, TheRawJobReferencesSendWhatTheFunctionSends) {
    // The bench script's Data ("ABC...Z" over and over), long enough that
    // the call's figures are named by its first 160 characters.
    std::string data;
    for (int i = 0; i < 260; ++i) {
        data += static_cast<char>('A' + i % 26);
    }
    const std::string call = "VORL_SendData( \"Invoices\" ; \"" + data + "\" )";
    const TimedRun run = Time(2, {call, "@bare raw 260 Invoices", "@platform raw 260 Invoices"});
    ASSERT_EQ(run.status, fmhost::kExitOk) << run.err;
    const std::string label = call.substr(0, 160) + "... (292 characters)";
    EXPECT_EQ(run.results.at(label), "0");
    EXPECT_EQ(run.results.at("@bare raw 260 Invoices"), "0");
    EXPECT_EQ(run.figures.count(label), 1u);
    const std::vector<simwin::PrintJob> jobs = simwin::QueueJobs(u"Invoices");
    ASSERT_GE(jobs.size(), 3u);
    for (const simwin::PrintJob& job : jobs) {
        EXPECT_EQ(job.datatype, u"RAW");
        EXPECT_EQ(std::string(job.bytes.begin(), job.bytes.end()), data);
    }
}

TEST(TimingMode, ReferencesThatCannotDoTheWorkAreRefused) {
    // A reference that fails would be timed doing less than its function.
    const TimedRun run = Time(3, {"@bare switch No Such Printer"});
    EXPECT_EQ(run.status, fmhost::kExitUsage);
    EXPECT_NE(run.err.find("the calls failed"), std::string::npos) << run.err;
    EXPECT_TRUE(run.figures.empty());
}

TEST(TimingMode, MalformedLinesAreUsageErrors) {
    for (const char* line : {"@bare bogus", "@frob", "@bare enumerate two", "@platform frame x y",
                             "@bare raw x Invoices",
                             ":idle", "VORL_Nothing", "@select", "@search 25 Invoices"}) {
        const TimedRun run = Time(2, {line});
        EXPECT_EQ(run.status, fmhost::kExitUsage) << line;
        EXPECT_NE(run.err.find("--time"), std::string::npos) << line << ": " << run.err;
    }
}

TEST(TimingMode, TheWatcherExperimentsCountTheirSamples) {
    const TimedRun run = Time(2, {"@handover Invoices", "@select Invoices", "@list", "@idle 0.2",
                             "@search 0.2 Invoices"});
    ASSERT_EQ(run.status, fmhost::kExitOk) << run.err;
    EXPECT_EQ(run.figures.at("handover after start-up").count, 2);
    EXPECT_EQ(run.figures.at("handover searching").count, 20);
    EXPECT_EQ(run.figures.at("shutdown none").count, 2);
    EXPECT_EQ(run.figures.at("shutdown searching").count, 2);
    // The design's first sleep of the shutdown: never shorter than 500 ms.
    EXPECT_GE(run.figures.at("shutdown none").min, 500.0);
    EXPECT_GE(run.figures.at("shutdown searching").min, 500.0);
    EXPECT_EQ(run.figures.at("select selected").count, 2);
    EXPECT_EQ(run.figures.at("select handover").count, 2);
    EXPECT_EQ(run.figures.at("select combo asked").count, 2);
    // The watcher asks the combo box before it selects, dialog by dialog.
    EXPECT_LE(run.figures.at("select combo asked").median, run.figures.at("select selected").median);
    EXPECT_EQ(run.others.at("failures select"), "failures\tselect\t0");
    EXPECT_EQ(run.figures.at("list 5").count, 2);
    EXPECT_EQ(run.figures.at("list 5").unit, "ms");
    EXPECT_EQ(run.others.count("cpu idle"), 1u);
    EXPECT_EQ(run.others.count("cpu search"), 1u);
    for (const auto& [label, f] : run.figures) {
        ExpectOrdered(label, f);
    }
    // No watcher outlives the run: every experiment ends or stops its own.
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
}

TEST(TimingMode, AConfirmedDialogIsConfirmedAfterItsSelection) {
    const TimedRun run = Time(1, {"@confirm Invoices"});
    ASSERT_EQ(run.status, fmhost::kExitOk) << run.err;
    EXPECT_EQ(run.others.at("failures confirm"), "failures\tconfirm\t0");
    EXPECT_LE(run.figures.at("confirm selected").max, run.figures.at("confirm confirmed").min);
}

}  // namespace
