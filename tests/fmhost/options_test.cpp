// fmhost's command line.
#include <gtest/gtest.h>

#include "fmhost/options.h"
#include "fmwrapper/host_runtime.h"

namespace {

fmhost::Options Parse(std::vector<std::string> arguments) {
    fmhost::Options options;
    std::string error;
    EXPECT_TRUE(fmhost::ParseOptions(arguments, options, error)) << error;
    return options;
}

std::string ErrorOf(std::vector<std::string> arguments) {
    fmhost::Options options;
    std::string error;
    EXPECT_FALSE(fmhost::ParseOptions(arguments, options, error));
    return error;
}

TEST(Options, HaveTheHostsDefaults) {
    const fmhost::Options options = Parse({});
    EXPECT_EQ(options.pluginPath, "");
    EXPECT_EQ(options.interfaceVersion, 51);
    EXPECT_EQ(options.hostVersion, u"ProAdvanced 11.0v3");
    EXPECT_EQ(options.machineFile, "");
    EXPECT_EQ(options.dialogLanguage, "en");
    EXPECT_EQ(options.printTemplate, fmhost::PrintTemplate::Host);
    EXPECT_FALSE(options.describe);
    EXPECT_FALSE(options.failOperation);
    EXPECT_TRUE(options.lines.empty());
}

TEST(Options, ReadEveryOptionInBothForms) {
    const fmhost::Options options =
        Parse({"--plugin", "/p/V.fmx", "--interface-version=-3", "--host-version", "Pro 7.0 \xC3\xA9",
               "--machine=m.json", "--dialog-language", "fr", "--print-template", "system", "--describe",
               "--fail-op", "4:2",
               "VORL_Version", "--", "--not-an-option"});
    EXPECT_EQ(options.pluginPath, "/p/V.fmx");
    EXPECT_EQ(options.interfaceVersion, -3);
    EXPECT_EQ(options.hostVersion, u"Pro 7.0 \u00E9");
    EXPECT_EQ(options.machineFile, "m.json");
    EXPECT_EQ(options.dialogLanguage, "fr");
    EXPECT_EQ(options.printTemplate, fmhost::PrintTemplate::System);
    EXPECT_TRUE(options.describe);
    ASSERT_TRUE(options.failOperation);
    EXPECT_EQ(options.failOperation->nth, 4u);
    EXPECT_EQ(options.failOperation->code, 2);
    EXPECT_EQ(options.failOperation->times, 1u);
    EXPECT_EQ(Parse({"--fail-op", "4:2:3"}).failOperation->times, 3u);
    EXPECT_EQ(Parse({"--fail-op", "4:2:every"}).failOperation->times, fmwrapper::kEveryTime);
    EXPECT_EQ(options.lines, (std::vector<std::string>{"VORL_Version", "--not-an-option"}));
}

TEST(Options, InterfaceVersionCoversTheSigned16BitRange) {
    EXPECT_EQ(Parse({"--interface-version", "256"}).interfaceVersion, 256);
    EXPECT_EQ(Parse({"--interface-version", "-32768"}).interfaceVersion, -32768);
    EXPECT_NE(ErrorOf({"--interface-version", "32768"}).find("32767"), std::string::npos);
    EXPECT_FALSE(ErrorOf({"--interface-version", "5x"}).empty());
}

TEST(Options, RefuseWhatTheyDoNotKnow) {
    EXPECT_NE(ErrorOf({"--plugin"}).find("needs a value"), std::string::npos);
    EXPECT_NE(ErrorOf({"--verbose"}).find("unknown option --verbose"), std::string::npos);
    EXPECT_NE(ErrorOf({"--dialog-language", "pt"}).find("es"), std::string::npos);  // lists the known
    EXPECT_FALSE(ErrorOf({"--fail-op", "0:1"}).empty());
    EXPECT_FALSE(ErrorOf({"--fail-op", "3"}).empty());
    EXPECT_FALSE(ErrorOf({"--fail-op", "3:0"}).empty());
    EXPECT_FALSE(ErrorOf({"--fail-op", "3:2:0"}).empty());
    EXPECT_FALSE(ErrorOf({"--fail-op", "3:2:all"}).empty());
    EXPECT_FALSE(ErrorOf({"--describe=yes"}).empty());
    EXPECT_FALSE(ErrorOf({"--machine="}).empty());
    EXPECT_NE(ErrorOf({"--print-template=wine"}).find("host or system"), std::string::npos);
}

TEST(Options, HelpNamesEveryOptionActionAndExitStatus) {
    EXPECT_TRUE(Parse({"--help"}).help);
    const std::string usage = fmhost::UsageText();
    for (const char* word : {"--plugin", "--interface-version", "--host-version", "--machine",
                             "--dialog-language", "--print-template", "--describe", "--fail-op", ":string",
                             ":preference", ":print", ":print-setup", ":custom-dialog", ":remove-printer", "Exit status", "non-zero error code"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
}

}  // namespace
