// The fmhost program: --describe, lines from arguments and standard input,
// warnings and errors, exit statuses; in-process through RunHost and as the
// real executable.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "fmhost/host_program.h"
#include "fmwrapper/host_runtime.h"
#include "hosting/plugin_library.h"
#include "session_test_support.h"
#include "tests/bounded_wait.h"

namespace {

using fmhost_test::kFmhost;
using fmhost_test::kTestPlugin;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome RunInProcess(std::vector<std::string> arguments, const std::string& input = "") {
    fmwrapper::ResetRuntime();
    std::istringstream in(input);
    std::ostringstream out, err;
    Outcome run;
    run.status = fmhost::RunHost(arguments, in, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

Outcome RunWithPlugin(std::vector<std::string> arguments, const std::string& input = "") {
    arguments.insert(arguments.begin(), {"--plugin", kTestPlugin});
    return RunInProcess(std::move(arguments), input);
}

// A scratch folder of one test, removed with its files.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/fmhost-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~ScratchFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path_ + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The wait status of a child fmhost; one still running after the bound is
// killed, and the test fails.
int WaitForExit(pid_t child) {
    int status = 0;
    if (!test_support::Eventually([&] { return waitpid(child, &status, WNOHANG) == child; })) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        ADD_FAILURE() << "fmhost did not exit within " << test_support::kWaitBound.count() << " s";
    }
    return status;
}

// Runs the fmhost executable with `arguments` and `input` on standard input.
Outcome RunProgram(const std::vector<std::string>& arguments, const std::string& input = "") {
    ScratchFolder scratch;
    const std::string in = scratch.Write("in", input);
    const std::string out = scratch.Path() + "/out";
    const std::string err = scratch.Path() + "/err";
    Outcome run;
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen(in.c_str(), "rb", stdin) || !freopen(out.c_str(), "wb", stdout) ||
            !freopen(err.c_str(), "wb", stderr)) {
            _exit(127);
        }
        std::vector<char*> argv{const_cast<char*>(kFmhost.c_str())};
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(kFmhost.c_str(), argv.data());
        _exit(127);
    }
    const int status = WaitForExit(child);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = scratch.Read("out");
    run.err = scratch.Read("err");
    return run;
}

const char* const kDescribed =
    "string 131: TEST1nnYYnn\n"
    "string 128: Test Plug-in\n"
    "string 129: A plug-in for fmhost's tests.\n"
    "start-up: 51\n"
    "register 1 TEST_Echo 0..3 0xFF01 TEST_Echo( a ; b ; c )\n"
    "register 2 TEST_Fail 0..0 0xFF01 TEST_Fail\n"
    "register 3 TEST_Constant 0..0 0xFF01 TEST_Constant\n"
    "shut-down\n"
    "unregister 1\n"
    "unregister 2\n"
    "unregister 3\n";

TEST(HostProgram, DescribePrintsStringsStartUpRegistrationsAndUnregistrationsInOrder) {
    const Outcome run = RunWithPlugin({"--describe"}, "TEST_Constant\n");  // standard input is not read
    EXPECT_EQ(run.status, fmhost::kExitOk);
    EXPECT_EQ(run.out, kDescribed);
    EXPECT_EQ(run.err, "");
}

TEST(HostProgram, DescribeEvaluatesGivenLinesBeforeShutdown) {
    const Outcome run = RunWithPlugin({"--describe", "TEST_Constant"});
    EXPECT_EQ(run.status, fmhost::kExitOk);
    EXPECT_NE(run.out.find("TEST_Constant\nconstant\nshut-down\n"), std::string::npos);
}

TEST(HostProgram, ARefusedStartUpIsPrintedAndEndsWithStatusOne) {
    Outcome run = RunWithPlugin({"--interface-version", "256", "TEST_Constant"});
    EXPECT_EQ(run.status, fmhost::kExitStartupRefused);
    EXPECT_EQ(run.out, "start-up: -1\n");
    run = RunWithPlugin({"--describe", "--interface-version", "49"});
    EXPECT_EQ(run.status, fmhost::kExitStartupRefused);
    EXPECT_EQ(run.out,
              "string 131: TEST1nnYYnn\nstring 128: Test Plug-in\n"
              "string 129: A plug-in for fmhost's tests.\nstart-up: -1\n");
}

TEST(HostProgram, AStartUpWithoutAnswerEndsWithStatusOne) {
    const Outcome run = RunWithPlugin({"--fail-op", "1:1", "TEST_Constant"});
    EXPECT_EQ(run.status, fmhost::kExitStartupRefused);
    EXPECT_EQ(run.out, "start-up: (no answer)\n");
    EXPECT_NE(run.err.find("no answer"), std::string::npos);
}

TEST(HostProgram, ReadsStandardInputSkippingBlankLinesAndComments) {
    const Outcome run =
        RunWithPlugin({}, "# a session\n\nTEST_Constant\r\n   \nTEST_Echo( \"x\" ; 2 )\n:string 128 5\n");
    EXPECT_EQ(run.status, fmhost::kExitOk);
    EXPECT_EQ(run.out, "constant\nx/0/false|2/2/true\nTest\n");
    EXPECT_EQ(run.err, "");
}

TEST(HostProgram, ABadLineStopsTheSessionWithStatusTwoNamingTheLine) {
    const Outcome run = RunWithPlugin({}, "TEST_Constant\n\nTEST_Echo( \"open\nTEST_Constant\n");
    EXPECT_EQ(run.status, fmhost::kExitUsage);
    EXPECT_EQ(run.out, "constant\n");  // nothing after the bad line
    EXPECT_NE(run.err.find("line 3:"), std::string::npos);
    EXPECT_NE(run.err.find("TEST_Echo( \"open"), std::string::npos);
}

TEST(HostProgram, AnUnknownFunctionIsABadLine) {
    const Outcome run = RunWithPlugin({"TEST_Constant", "VORL_Version"});
    EXPECT_EQ(run.status, fmhost::kExitUsage);
    EXPECT_NE(run.err.find("line 2: no function VORL_Version is registered"), std::string::npos);
}

TEST(HostProgram, AFunctionErrorIsReportedTheSessionGoesOnAndTheStatusIsThree) {
    const Outcome run = RunWithPlugin({"TEST_Fail", "TEST_Constant"});
    EXPECT_EQ(run.status, fmhost::kExitFunctionError);
    EXPECT_EQ(run.out, "\nconstant\n");
    EXPECT_NE(run.err.find("line 1: TEST_Fail returned error code 7"), std::string::npos);
}

TEST(HostProgram, WarnsAboutParameterCountsAndStillPasses) {
    const Outcome run = RunWithPlugin({"TEST_Echo( 1 ; 2 ; 3 ; 4 )"});
    EXPECT_EQ(run.status, fmhost::kExitOk);
    EXPECT_EQ(run.out, "1/1/true|2/2/true|3/3/true|4/4/true\n");
    EXPECT_NE(run.err.find("registered for 0..3 parameters; passing 4"), std::string::npos);
}

TEST(HostProgram, WarnsWhenThePluginLeavesFunctionsRegistered) {
    const Outcome run = RunWithPlugin({"--host-version", "LeaveRegistered", "TEST_Constant"});
    EXPECT_EQ(run.status, fmhost::kExitOk);
    EXPECT_NE(run.err.find("left TEST_Constant (id 3) registered"), std::string::npos);
    EXPECT_FALSE(fmwrapper::FindFunction(u"TEST_Constant"));
}

TEST(HostProgram, UsageErrorsEndWithStatusTwo) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--nothing"}, {"--interface-version", "70000"},
                                               {"--dialog-language", "pt"}, {"--plugin"}}) {
        const Outcome run = RunInProcess(arguments);
        EXPECT_EQ(run.status, fmhost::kExitUsage) << arguments[0];
        EXPECT_NE(run.err.find("fmhost --help"), std::string::npos) << arguments[0];
        EXPECT_EQ(run.out, "");
    }
    const Outcome missing = RunInProcess({"--plugin", "/no/such/Plugin.fmx"});
    EXPECT_EQ(missing.status, fmhost::kExitUsage);
    EXPECT_NE(missing.err.find("/no/such/Plugin.fmx"), std::string::npos);
}

TEST(HostProgram, ABadMachineFileStopsBeforeThePluginIsLoaded) {
    ScratchFolder scratch;
    const std::string broken = scratch.Write("broken.json", "{\"printers\": [");
    const std::string wrong = scratch.Write("wrong.json", "{\"default\": \"x\"}");
    for (const std::string& file : {broken, wrong, scratch.Path() + "/missing.json"}) {
        // The plug-in path is bad too: only the machine file may be complained about.
        const Outcome run = RunInProcess({"--machine", file, "--plugin", "/no/such/Plugin.fmx"});
        EXPECT_EQ(run.status, fmhost::kExitUsage) << file;
        EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Plugin.fmx"), std::string::npos) << run.err;
    }
}

TEST(HostProgram, AMachineFileSetsUpTheMachine) {
    ScratchFolder scratch;
    const std::string machine = scratch.Write(
        "machine.json",
        R"({"printers": [{"name": "Only", "port": "LPT1:", "devices": "winspool,LPT1:"}],
            "keys": {"Software\\FileMaker\\FileMaker Pro\\9.0\\Preferences": {"Printer": "Only,winspool,LPT1:"}}})");
    Outcome run = RunWithPlugin({"--machine", machine, "--host-version", "Pro 9.0v1", ":preference"});
    EXPECT_EQ(run.status, fmhost::kExitOk) << run.err;
    EXPECT_EQ(run.out, "Only,winspool,LPT1:\n");
    run = RunWithPlugin({"--machine", machine, ":preference"});  // 11.0A: no such key there
    EXPECT_EQ(run.out, "(none)\n");
}

TEST(HostProgram, HelpGoesToStandardOutput) {
    const Outcome run = RunInProcess({"--help"});
    EXPECT_EQ(run.status, fmhost::kExitOk);
    EXPECT_EQ(run.out.rfind("usage: fmhost", 0), 0u);
}

TEST(FmhostExecutable, DescribesAndExitsAsTheProgramDoes) {
    Outcome run = RunProgram({"--plugin", kTestPlugin, "--describe"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kDescribed);
    run = RunProgram({"--plugin", kTestPlugin, "--interface-version", "-5"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "start-up: -1\n");
    run = RunProgram({"--plugin", kTestPlugin}, "TEST_Constant\nTEST_Echo( 1 ; )\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "constant\n");
    EXPECT_NE(run.err.find("line 2"), std::string::npos);
    run = RunProgram({"--plugin", kTestPlugin, "TEST_Fail"});
    EXPECT_EQ(run.status, 3);
}

TEST(FmhostExecutable, PassesUtf8ThroughArgumentsAndStandardStreams) {
    const std::string text = "Caf\xC3\xA9 \xF0\x9F\x96\xA8 \\\\server";
    Outcome run = RunProgram({"--plugin", kTestPlugin, "TEST_Echo( \"Caf\xC3\xA9 \xF0\x9F\x96\xA8 \\\\\\\\server\" )"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, text + "/0/false\n");
    run = RunProgram({"--plugin", kTestPlugin}, "TEST_Echo( \"Caf\xC3\xA9 \xF0\x9F\x96\xA8 \\\\\\\\server\" )\n");
    EXPECT_EQ(run.out, text + "/0/false\n");
    // Control characters of a result print escaped: a tab, an ESC, a CR, a C1 character.
    run = RunProgram({"--plugin", kTestPlugin}, "TEST_Echo( \"a\tb\x1B\rc\xC2\x85\" )\n");
    EXPECT_EQ(run.out, "a<U+0009>b<U+001B><U+000D>c<U+0085>/0/false\n");
}

TEST(FmhostExecutable, LoadsVorelleBesideItselfByDefault) {
    // Whatever the folder holds, the default is named there, and a missing
    // plug-in is reported under that name.
    const std::string folder = kFmhost.substr(0, kFmhost.rfind('/'));
    EXPECT_EQ(hosting::DefaultPluginPath().substr(0, hosting::DefaultPluginPath().rfind('/')), folder);
    ScratchFolder scratch;
    const std::string copy = scratch.Path() + "/fmhost";
    ASSERT_EQ(std::system(("cp '" + kFmhost + "' '" + copy + "'").c_str()), 0);
    const pid_t child = fork();
    if (child == 0) {
        freopen((scratch.Path() + "/err").c_str(), "wb", stderr);
        freopen("/dev/null", "wb", stdout);
        execl(copy.c_str(), copy.c_str(), "--describe", static_cast<char*>(nullptr));
        _exit(127);
    }
    const int status = WaitForExit(child);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(scratch.Read("err").find(scratch.Path() + "/Vorelle.fmx"), std::string::npos)
        << scratch.Read("err");
}

}  // namespace
