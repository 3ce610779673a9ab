// The benchmark program of scripts/bench starts, runs a benchmark of each kind
// (a function, its bare reference, a watcher experiment) and reports them:
// the benchmarks are never run by the tests otherwise, so a benchmark that
// no longer works would first be noticed when someone wants its figures.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

Outcome RunBench(const std::string& arguments) {
    Outcome outcome;
    constexpr int kBoundSeconds = 15;
    const std::string command = "timeout " + std::to_string(kBoundSeconds) + " " +
                                std::string(VORELLE_BENCH_PROGRAM) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        outcome.out.append(buffer, n);
    }
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (outcome.status == 124) {  // timeout's status when it ended the program
        ADD_FAILURE() << "waited " << kBoundSeconds << " s for the benchmark program to finish, in vain";
    }
    return outcome;
}

TEST(BenchProgram, RunsAFunctionItsReferenceAndAWatcherExperiment) {
    const Outcome run = RunBench(
        "--benchmark_filter='^(fn|bare)/VORL_GetPrinterAt/10$|^(fn|bare|platform)/VORL_SendData/1024$|^shutdown/none' "
        "--benchmark_min_time=0.001 --shutdowns=1 --benchmark_format=json");
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* name : {"\"fn/VORL_GetPrinterAt/10\"", "\"bare/VORL_GetPrinterAt/10\"",
                             "\"fn/VORL_SendData/1024\"", "\"platform/VORL_SendData/1024\"",
                             "\"shutdown/none/0/iterations:1/repeats:1/manual_time\"", "\"p50_ms\""}) {
        EXPECT_NE(run.out.find(name), std::string::npos) << name << "\n" << run.out;
    }
    // A benchmark whose result is not the function's own reports an error.
    EXPECT_EQ(run.out.find("\"error_occurred\": true"), std::string::npos) << run.out;
}

TEST(BenchProgram, RefusesMalformedSettings) {
    EXPECT_EQ(RunBench("--dialogs=0").status, 2);
    EXPECT_EQ(RunBench("--send-iterations=0").status, 2);
    EXPECT_EQ(RunBench("--no-such-flag").status, 2);
}

}  // namespace
