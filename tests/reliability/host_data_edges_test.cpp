// Data the plug-in reads from the host and the machine without the host
// guarding it: the host version text of the start-up (absent, empty, many
// thousands of units, lone surrogates, a NUL inside) and the Devices data of
// a printer (odd length, no terminator, NULs inside, another type, large).
#include <gtest/gtest.h>

#include "tests/plugin/host_fixture.h"

namespace vorelle::testing {
namespace {

const std::u16string kPrefix = u"Software\\FileMaker\\FileMaker Pro\\";

class HostDataEdgesTest : public HostTest {
protected:
    // Starts with the version text at `address` (0 for none) as it stands.
    void StartUpWithVersionAddress(std::uintptr_t address) {
        FMX_CallRecord record = session_.Host().NewRecord(kFMXMessageStartup);
        record.interfaceVersion = 51;
        record.param2 = address;
        session_.Host().Send(record);
        ASSERT_EQ(static_cast<std::int32_t>(record.result), 51);
    }
    void ShutDownRaw() {
        FMX_CallRecord record = session_.Host().NewRecord(kFMXMessageShutdown);
        session_.Host().Send(record);
    }

    // The key a switch writes after a start-up with this version text: the
    // one key, among all the table's, that holds a "Printer" value after
    // VORL_ChangeForPreview; the status when the switch did not say "0".
    std::u16string KeyWritten(const std::u16string& version) {
        for (const char16_t* folder : {u"11.0A", u"11.0", u"10.0A", u"10.0", u"9.0A", u"9.0", u"8.5A",
                                       u"8.5", u"8.0A", u"8.0", u"7.0D", u"7.0"}) {
            simwin::CreateKey(kPrefix + folder + u"\\Preferences");
        }
        StartUpWithVersionAddress(reinterpret_cast<std::uintptr_t>(version.c_str()));
        const std::u16string status = Result(u"VORL_ChangeForPreview", {Text(u"Office Laser")});
        ShutDownRaw();
        if (status != u"0") {
            return u"status " + status;
        }
        std::u16string written;
        for (const std::u16string& key : simwin::ListKeys()) {
            if (simwin::GetValue(key, u"Printer")) {
                written = key.substr(kPrefix.size());
                simwin::DeleteValue(key, u"Printer");
            }
        }
        return written;
    }
};

TEST_F(HostDataEdgesTest, HostVersionTextsAtTheEdges) {
    EXPECT_EQ(KeyWritten(u""), u"status 3");
    EXPECT_EQ(KeyWritten(std::u16string(5000, u' ')), u"status 3");
    // Lone surrogates and noncharacters around the marks are just units.
    EXPECT_EQ(KeyWritten(u"\xD800" u"Advanced\xDC00 10.0\xFFFF"), u"10.0A\\Preferences");
    // Thousands of units before the mark, the edition word far behind it.
    EXPECT_EQ(KeyWritten(std::u16string(100'000, u'x') + u"9.0" + std::u16string(50'000, u'\xDBFF') +
                         u"Advanced"),
              u"9.0A\\Preferences");
    // The text ends at its first NUL: what follows is not part of it.
    const std::u16string cut = std::u16string(u"ProAdvanced ") + u'\0' + u"11.0";
    EXPECT_EQ(KeyWritten(cut), u"status 3");
}

TEST_F(HostDataEdgesTest, NoHostVersionTextAtAll) {
    StartUpWithVersionAddress(0);
    EXPECT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Office Laser")}), u"3");
    EXPECT_EQ(Result(u"VORL_GetPrinterAt", {Number("1")}), u"Office Laser");
    ShutDownRaw();
}

TEST_F(HostDataEdgesTest, DevicesDataOfAnyShapeIsCopiedUpToItsFirstNul) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::u16string copied;  // what follows "Office Laser," in the preference
    };
    std::vector<std::uint8_t> large;
    for (int i = 0; i < 32768; ++i) {
        large.push_back(static_cast<std::uint8_t>('a' + i % 26));
        large.push_back(0);
    }
    std::u16string largeText;
    for (int i = 0; i < 32768; ++i) {
        largeText.push_back(static_cast<char16_t>('a' + i % 26));
    }
    const std::vector<Case> cases = {
        {"terminated", simwin::kRegSz, {'w', 0, 's', 0, 0, 0}, u"ws"},
        {"no terminator", simwin::kRegSz, {'w', 0, 's', 0}, u"ws"},
        {"odd length", simwin::kRegSz, {'w', 0, 's'}, u"ws"},
        {"one byte", simwin::kRegSz, {'w'}, u"w"},
        {"empty", simwin::kRegSz, {}, u""},
        {"NUL inside", simwin::kRegSz, {'a', 0, 0, 0, 'b', 0}, u"a"},
        {"binary", simwin::kRegBinary, {0x41, 0xD8, 0x42, 0}, u"\xD841" u"B"},
        {"dword", simwin::kRegDword, {1, 0, 0, 0}, u"\x0001"},
        {"64 KiB, no terminator", simwin::kRegSz, large, largeText},
    };
    StartUp();
    for (const Case& c : cases) {
        simwin::PutValue(simwin::kDevicesKeyPath, u"Office Laser", c.type, c.data);
        ASSERT_EQ(Result(u"VORL_ChangeForPreview", {Text(u"Office Laser")}), u"0") << c.what;
        const auto value = simwin::GetValue(kPreferences11A, u"Printer");
        ASSERT_TRUE(value) << c.what;
        EXPECT_EQ(value->type, simwin::kRegSz) << c.what;
        EXPECT_EQ(value->data, simwin::RegistryValue::String(u"Printer", u"Office Laser," + c.copied).data)
            << c.what;
    }
}

}  // namespace
}  // namespace vorelle::testing
