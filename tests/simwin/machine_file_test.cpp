// The JSON machine file: its shape, the faults it names and the messages for
// files that cannot be used; and the embedded sample machine.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/simwin/machine_fixture.h"

namespace simwin_test {
namespace {

using MachineFileTest = MachineTest;

constexpr std::string_view kIssueExample = R"json({
  "printers": [
    {"name": "Office Laser", "port": "LPT1:", "devices": "winspool,LPT1:"},
    {"name": "\\\\print-server\\Accounts", "connection": true, "port": "\\\\print-server\\Accounts", "devices": "winspool,Ne01:"},
    {"name": "Label Printer", "port": null, "devices": null, "startPrintingImmediately": true}
  ],
  "default": "Office Laser",
  "keys": {"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences": {"Printer": "Old Printer,winspool,LPT2:"}},
  "readOnlyKeys": ["Software\\FileMaker\\FileMaker Pro\\10.0\\Preferences"],
  "faults": ["enumerate", "printer-details", "devices-key", "devices-value", "write-printer",
             "create-mutex", "mutex-wait", "spool-write", "reject-jobs", "short-write", "write-nothing"]
})json";

// A file in the test's temporary folder, removed afterwards.
class TempFile {
public:
    explicit TempFile(std::string_view text)
        : path_(std::filesystem::temp_directory_path() /
                ("simwin-machine-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++) + ".json")) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~TempFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

TEST_F(MachineFileTest, TheFullShapeIsRead) {
    std::string error;
    std::optional<simwin::MachineSpec> setup = simwin::ParseMachine(kIssueExample, error);
    ASSERT_TRUE(setup) << error;
    ASSERT_EQ(setup->printers.size(), 3u);
    EXPECT_EQ(setup->printers[0].name, u"Office Laser");
    EXPECT_FALSE(setup->printers[0].connection);
    EXPECT_EQ(setup->printers[0].port, u"LPT1:");
    EXPECT_EQ(setup->printers[1].name, u"\\\\print-server\\Accounts");
    EXPECT_TRUE(setup->printers[1].connection);
    EXPECT_EQ(setup->printers[1].devices, u"winspool,Ne01:");
    EXPECT_EQ(setup->printers[2].port, std::nullopt);
    EXPECT_EQ(setup->printers[2].devices, std::nullopt);
    EXPECT_FALSE(setup->printers[1].startPrintingImmediately);
    EXPECT_TRUE(setup->printers[2].startPrintingImmediately);
    EXPECT_EQ(setup->defaultPrinter, u"Office Laser");
    ASSERT_EQ(setup->keys.size(), 1u);
    EXPECT_EQ(setup->keys[0].path, kPreferencesPath);
    ASSERT_EQ(setup->keys[0].values.size(), 1u);
    EXPECT_EQ(setup->keys[0].values[0].type, simwin::kRegSz);
    EXPECT_EQ(setup->keys[0].values[0].data.size(), 2u * 26 + 2);
    EXPECT_EQ(setup->readOnlyKeys, std::vector<std::u16string>{kReadOnlyPath});
    EXPECT_EQ(setup->faults.size(), 11u);

    simwin::ResetMachine(*setup);
    for (simwin::Fault fault : {simwin::Fault::Enumerate, simwin::Fault::PrinterDetails, simwin::Fault::DevicesKey,
                                simwin::Fault::DevicesValue, simwin::Fault::WritePrinter,
                                simwin::Fault::CreateMutex, simwin::Fault::MutexWait,
                                simwin::Fault::SpoolWrite, simwin::Fault::RejectJobs,
                                simwin::Fault::ShortWrite, simwin::Fault::WriteNothing}) {
        EXPECT_TRUE(simwin::FaultOn(fault)) << simwin::FaultName(fault);
    }
}

TEST_F(MachineFileTest, OnlyPrintersAreRequiredAndTextIsUtf8) {
    std::string error;
    std::optional<simwin::MachineSpec> setup =
        simwin::ParseMachine(R"({"printers": [{"name": "Büro \u00e9 \ud83d\udda8"}], "default": null})", error);
    ASSERT_TRUE(setup) << error;
    EXPECT_EQ(setup->printers[0].name, u"Büro é \U0001F5A8");
    EXPECT_EQ(setup->printers[0].port, std::nullopt);
    EXPECT_EQ(setup->defaultPrinter, std::nullopt);
    EXPECT_TRUE(setup->keys.empty());
    EXPECT_TRUE(setup->faults.empty());
}

struct BadShape {
    const char* json;
    const char* fault;  // part of the message
};

TEST_F(MachineFileTest, WrongShapesAreNamed) {
    const BadShape cases[] = {
        {"[]", "not a JSON object"},
        {"{}", "\"printers\" is missing"},
        {R"({"printers": {}})", "\"printers\" is not an array"},
        {R"({"printers": [3]})", "printers[0] is not an object"},
        {R"({"printers": [{"port": "LPT1:"}]})", "printers[0]: \"name\" is missing"},
        {R"({"printers": [{"name": 5}]})", "printers[0].name is not a string"},
        {R"({"printers": [{"name": ""}]})", "printers[0].name is empty"},
        {R"({"printers": [{"name": "A"}, {"name": "a"}]})", "listed twice"},
        {R"({"printers": [{"name": "Label, Printer"}]})", "printers[0].name \"Label, Printer\" holds a ','"},
        {R"({"printers": [{"name": "\\\\server\\a\\b", "connection": true}]})", "Windows takes no such printer name"},
        {R"({"printers": [{"name": "A", "connection": "yes"}]})", "connection is not true or false"},
        {R"({"printers": [{"name": "A", "startPrintingImmediately": 1}]})", "startPrintingImmediately is not true or false"},
        {R"({"printers": [{"name": "A", "port": 1}]})", "\"port\" is neither a string nor null"},
        {R"({"printers": [{"name": "A", "devices": []}]})", "\"devices\" is neither a string nor null"},
        {R"({"printers": [{"name": "A", "colour": true}]})", "unknown member \"colour\""},
        {R"({"printers": [], "default": 1})", "\"default\" is neither a string nor null"},
        {R"({"printers": [], "keys": []})", "\"keys\" is not an object"},
        {R"({"printers": [], "keys": {"K": 1}})", "keys[\"K\"] is not an object"},
        {R"({"printers": [], "keys": {"K": {"V": 1}}})", "keys[\"K\"][\"V\"] is not a string"},
        {R"({"printers": [], "readOnlyKeys": "K"})", "\"readOnlyKeys\" is not an array"},
        {R"({"printers": [], "faults": ["paper-jam"]})", "unknown fault \"paper-jam\""},
        {R"({"printers": [], "readonlyKeys": []})", "unknown member \"readonlyKeys\""},
        {R"({"printers": [)", "not valid JSON"},
    };
    for (const BadShape& bad : cases) {
        std::string error;
        EXPECT_FALSE(simwin::ParseMachine(bad.json, error)) << bad.json;
        EXPECT_NE(error.find(bad.fault), std::string::npos) << bad.json << " gave: " << error;
    }
}

TEST_F(MachineFileTest, FileMessagesNameTheFileAndTheFault) {
    TempFile bad(R"({"printers": [{"name": 5}]})");
    std::string error;
    EXPECT_FALSE(simwin::LoadMachineFile(bad.path(), error));
    EXPECT_EQ(error, bad.path() + ": printers[0].name is not a string");

    std::string missing = bad.path() + ".missing";
    EXPECT_FALSE(simwin::LoadMachineFile(missing, error));
    EXPECT_EQ(error.rfind(missing + ": cannot be read", 0), 0u) << error;

    std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(simwin::LoadMachineFile(folder, error));
    EXPECT_EQ(error.rfind(folder + ": cannot be read", 0), 0u) << error;

    TempFile good(kIssueExample);
    std::optional<simwin::MachineSpec> setup = simwin::LoadMachineFile(good.path(), error);
    ASSERT_TRUE(setup) << error;
    EXPECT_EQ(setup->printers.size(), 3u);
}

TEST_F(MachineFileTest, TheSampleMachineHasWhatTheDemoNeeds) {
    std::string error;
    ASSERT_TRUE(simwin::ParseMachine(simwin::SampleMachineJson(), error)) << error;
    simwin::MachineSpec sample = simwin::SampleMachine();
    ASSERT_GE(sample.printers.size(), 3u);
    EXPECT_TRUE(std::any_of(sample.printers.begin(), sample.printers.end(), [](const simwin::PrinterSpec& printer) {
        return printer.connection && printer.name.starts_with(u"\\\\");
    }));
    EXPECT_TRUE(std::any_of(sample.printers.begin(), sample.printers.end(), [](const simwin::PrinterSpec& printer) {
        return printer.devices && printer.devices->find(u',') != std::u16string::npos;
    }));
    ASSERT_TRUE(sample.defaultPrinter);

    simwin::ResetMachine(sample);
    EXPECT_TRUE(simwin::KeyExists(kPreferencesPath));
    std::optional<std::u16string> defaultPrinter = simwin::CurrentDefaultPrinter();
    ASSERT_TRUE(defaultPrinter);
    std::vector<simwin::PrinterSpec> printers = simwin::Printers();
    EXPECT_TRUE(std::any_of(printers.begin(), printers.end(),
                            [&](const simwin::PrinterSpec& printer) { return printer.name == *defaultPrinter; }));
}

}  // namespace
}  // namespace simwin_test
