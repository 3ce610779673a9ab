// The simulated per-user registry behaves like the Win32 one where the
// application printer switch depends on it: opening without creating,
// read-only keys, RegQueryValueExW's size semantics, exact bytes, faults.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/simwin/machine_fixture.h"

namespace simwin_test {
namespace {

using simwin::Handle;
constexpr auto kSuccess = static_cast<std::int32_t>(simwin::kErrorSuccess);

std::int32_t Code(std::uint32_t error) { return static_cast<std::int32_t>(error); }

// An open key, closed when the test leaves scope.
class Key {
public:
    Key(std::u16string path, std::uint32_t access) { status_ = simwin::RegOpenKey(path.c_str(), access, key_); }
    ~Key() {
        if (key_ != 0) {
            simwin::RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    Handle get() const { return key_; }
    std::int32_t status() const { return status_; }

private:
    Handle key_ = 0;
    std::int32_t status_ = 0;
};

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text, bool terminator) {
    std::vector<std::uint8_t> bytes(2 * text.size() + (terminator ? 2 : 0), 0);
    std::memcpy(bytes.data(), text.data(), 2 * text.size());
    return bytes;
}

using RegistryTest = MachineTest;

TEST_F(RegistryTest, DevicesKeyHoldsOneStringPerPrinterWithDevicesData) {
    std::vector<simwin::RegistryValue> values = simwin::ListValues(simwin::kDevicesKeyPath);
    ASSERT_EQ(values.size(), 3u);  // the fax has no devices data
    EXPECT_EQ(values[0].name, u"Office Laser");
    EXPECT_EQ(values[0].type, simwin::kRegSz);
    EXPECT_EQ(values[0].data, Utf16Bytes(u"winspool,LPT1:", true));
    EXPECT_EQ(values[1].name, u"\\\\print-server\\Accounts");
    EXPECT_EQ(values[2].Text(), u"winspool,USB001");
    EXPECT_FALSE(simwin::GetValue(simwin::kDevicesKeyPath, u"Fax"));
}

TEST_F(RegistryTest, KeysOpenIgnoringCaseButAreNeverCreated) {
    Key devices(u"software\\MICROSOFT\\windows nt\\currentversion\\devices", simwin::kKeyQueryValue);
    EXPECT_EQ(devices.status(), kSuccess);
    Key parent(u"Software\\FileMaker", simwin::kKeyQueryValue);  // parents of a key exist
    EXPECT_EQ(parent.status(), kSuccess);
    Key missing(u"Software\\FileMaker\\FileMaker Pro\\9.0\\Preferences", simwin::kKeySetValue);
    EXPECT_EQ(missing.status(), Code(simwin::kErrorFileNotFound));
    EXPECT_EQ(missing.get(), 0u);
    EXPECT_FALSE(simwin::KeyExists(u"Software\\FileMaker\\FileMaker Pro\\9.0\\Preferences"));
    EXPECT_EQ(simwin::CountHandles().keys, 2u);
}

TEST_F(RegistryTest, ReadOnlyKeysRefuseWritingButAllowReading) {
    Key writing(kReadOnlyPath, simwin::kKeySetValue);
    EXPECT_EQ(writing.status(), Code(simwin::kErrorAccessDenied));
    Key reading(kReadOnlyPath, simwin::kKeyQueryValue);
    EXPECT_EQ(reading.status(), kSuccess);
    EXPECT_EQ(simwin::RegSetValue(reading.get(), u"Printer", simwin::kRegSz, nullptr, 0),
              Code(simwin::kErrorAccessDenied));

    simwin::SetKeyReadOnly(kReadOnlyPath, false);
    Key writable(kReadOnlyPath, simwin::kKeySetValue);
    EXPECT_EQ(writable.status(), kSuccess);
    // A key opened only for writing cannot be queried.
    std::uint32_t size = 0;
    EXPECT_EQ(simwin::RegQueryValue(writable.get(), u"Printer", nullptr, nullptr, &size),
              Code(simwin::kErrorAccessDenied));
}

TEST_F(RegistryTest, QueryFollowsTheSizeQueryThenReadPattern) {
    Key devices(std::u16string(simwin::kDevicesKeyPath), simwin::kKeyQueryValue);
    ASSERT_EQ(devices.status(), kSuccess);
    std::uint32_t size = 0;
    ASSERT_EQ(simwin::RegQueryValue(devices.get(), u"office laser", nullptr, nullptr, &size), kSuccess);
    EXPECT_EQ(size, 2u * 14 + 2);

    std::vector<std::uint8_t> small(size - 1, 0xEE);
    std::uint32_t smallSize = size - 1;
    EXPECT_EQ(simwin::RegQueryValue(devices.get(), u"Office Laser", nullptr, small.data(), &smallSize),
              Code(simwin::kErrorMoreData));
    EXPECT_EQ(smallSize, size);

    std::vector<std::uint8_t> data(size + 2, 0);
    std::uint32_t dataSize = size + 2;
    std::uint32_t type = 0;
    ASSERT_EQ(simwin::RegQueryValue(devices.get(), u"Office Laser", &type, data.data(), &dataSize), kSuccess);
    EXPECT_EQ(type, simwin::kRegSz);
    EXPECT_EQ(dataSize, size);
    data.resize(size);
    EXPECT_EQ(data, Utf16Bytes(u"winspool,LPT1:", true));

    EXPECT_EQ(simwin::RegQueryValue(devices.get(), u"Fax", nullptr, nullptr, &size),
              Code(simwin::kErrorFileNotFound));
    EXPECT_EQ(simwin::RegQueryValue(devices.get(), u"Office Laser", nullptr, data.data(), nullptr),
              Code(simwin::kErrorInvalidParameter));
}

TEST_F(RegistryTest, SetValueStoresTypeAndBytesExactly) {
    {
        Key preferences(kPreferencesPath, simwin::kKeySetValue);
        ASSERT_EQ(preferences.status(), kSuccess);
        std::vector<std::uint8_t> text = Utf16Bytes(u"Fax,winspool,FAX:", true);
        ASSERT_EQ(simwin::RegSetValue(preferences.get(), u"printer", simwin::kRegSz, text.data(),
                                      static_cast<std::uint32_t>(text.size())),
                  kSuccess);
    }
    std::optional<simwin::RegistryValue> value = simwin::GetValue(kPreferencesPath, u"Printer");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->name, u"Printer");  // an existing value keeps its own spelling
    EXPECT_EQ(value->type, simwin::kRegSz);
    EXPECT_EQ(value->data.size(), 2u * 17 + 2);
    EXPECT_EQ(value->data, Utf16Bytes(u"Fax,winspool,FAX:", true));
}

TEST_F(RegistryTest, RawValuesOfOddLengthWithoutTerminatorComeBackUnchanged) {
    std::vector<std::uint8_t> odd{'w', 0, 'i', 0, 'n'};
    simwin::PutValue(simwin::kDevicesKeyPath, u"Fax", simwin::kRegBinary, odd);
    Key devices(std::u16string(simwin::kDevicesKeyPath), simwin::kKeyQueryValue);
    std::uint32_t size = 0;
    ASSERT_EQ(simwin::RegQueryValue(devices.get(), u"Fax", nullptr, nullptr, &size), kSuccess);
    EXPECT_EQ(size, 5u);
    std::vector<std::uint8_t> data(8, 0xAA);
    std::uint32_t type = 0;
    ASSERT_EQ(simwin::RegQueryValue(devices.get(), u"Fax", &type, data.data(), &size), kSuccess);
    EXPECT_EQ(type, simwin::kRegBinary);
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + 5), odd);
    EXPECT_EQ(data[5], 0xAA);  // nothing written past the value
}

TEST_F(RegistryTest, DevicesKeyFaultRefusesOpening) {
    simwin::SetFault(simwin::Fault::DevicesKey, true);
    Key devices(std::u16string(simwin::kDevicesKeyPath), simwin::kKeyQueryValue);
    EXPECT_EQ(devices.status(), Code(simwin::kErrorAccessDenied));
    Key preferences(kPreferencesPath, simwin::kKeySetValue);
    EXPECT_EQ(preferences.status(), kSuccess);
}

TEST_F(RegistryTest, DevicesValueFaultAllowsTheSizeQueryOnly) {
    simwin::SetFault(simwin::Fault::DevicesValue, true);
    Key devices(std::u16string(simwin::kDevicesKeyPath), simwin::kKeyQueryValue);
    std::uint32_t size = 0;
    ASSERT_EQ(simwin::RegQueryValue(devices.get(), u"Office Laser", nullptr, nullptr, &size), kSuccess);
    std::vector<std::uint8_t> data(size, 0);
    EXPECT_EQ(simwin::RegQueryValue(devices.get(), u"Office Laser", nullptr, data.data(), &size),
              Code(simwin::kErrorAccessDenied));
    // Other keys are readable as before.
    Key preferences(kPreferencesPath, simwin::kKeyQueryValue);
    std::vector<std::uint8_t> other(200, 0);
    std::uint32_t otherSize = 200;
    EXPECT_EQ(simwin::RegQueryValue(preferences.get(), u"Printer", nullptr, other.data(), &otherSize), kSuccess);
}

TEST_F(RegistryTest, WritePrinterFaultRefusesOnlyThePrinterValue) {
    simwin::ResetMachine([] {
        simwin::MachineSpec setup = TestMachine();
        setup.faults = {simwin::Fault::WritePrinter};
        return setup;
    }());
    Key preferences(kPreferencesPath, simwin::kKeySetValue);
    ASSERT_EQ(preferences.status(), kSuccess);
    std::vector<std::uint8_t> text = Utf16Bytes(u"Fax,winspool,FAX:", true);
    auto size = static_cast<std::uint32_t>(text.size());
    EXPECT_EQ(simwin::RegSetValue(preferences.get(), u"Printer", simwin::kRegSz, text.data(), size),
              Code(simwin::kErrorAccessDenied));
    EXPECT_EQ(simwin::GetValue(kPreferencesPath, u"Printer")->Text(), u"Old Printer,winspool,LPT2:");
    EXPECT_EQ(simwin::RegSetValue(preferences.get(), u"Other", simwin::kRegSz, text.data(), size), kSuccess);
    simwin::SetFault(simwin::Fault::WritePrinter, false);
    EXPECT_EQ(simwin::RegSetValue(preferences.get(), u"Printer", simwin::kRegSz, text.data(), size), kSuccess);
}

TEST_F(RegistryTest, ResetReplacesTheRegistryAndFaultsButClearsNoHandles) {
    simwin::SetFault(simwin::Fault::DevicesKey, true);
    simwin::PutString(u"Software\\Elsewhere", u"Value", u"text");
    Key preferences(kPreferencesPath, simwin::kKeyQueryValue);
    simwin::ResetMachine(TestMachine());
    EXPECT_FALSE(simwin::FaultOn(simwin::Fault::DevicesKey));
    EXPECT_FALSE(simwin::KeyExists(u"Software\\Elsewhere"));
    EXPECT_EQ(simwin::CountHandles().keys, 1u);
    // The key the handle stood for is gone, even though one of the same path exists again.
    std::uint32_t size = 0;
    EXPECT_EQ(simwin::RegQueryValue(preferences.get(), u"Printer", nullptr, nullptr, &size),
              Code(simwin::kErrorKeyDeleted));
}

TEST_F(RegistryTest, DeletedKeysTakeTheirSubkeysAlong) {
    ASSERT_TRUE(simwin::DeleteKey(u"software\\filemaker"));
    EXPECT_FALSE(simwin::KeyExists(kPreferencesPath));
    EXPECT_FALSE(simwin::KeyExists(u"Software\\FileMaker"));
    EXPECT_TRUE(simwin::KeyExists(u"Software"));
    EXPECT_FALSE(simwin::DeleteKey(u"Software\\FileMaker"));
}

TEST_F(RegistryTest, ListKeysShowsEveryKeyWithItsParents) {
    std::vector<std::u16string> keys = simwin::ListKeys();
    EXPECT_NE(std::find(keys.begin(), keys.end(), u"Software\\FileMaker\\FileMaker Pro"), keys.end());
    EXPECT_NE(std::find(keys.begin(), keys.end(), std::u16string(kReadOnlyPath)), keys.end());
    EXPECT_NE(std::find(keys.begin(), keys.end(), std::u16string(simwin::kDevicesKeyPath)), keys.end());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end(), [](const std::u16string& a, const std::u16string& b) {
        std::u16string fa = a;
        std::u16string fb = b;
        for (char16_t& unit : fa) unit = simwin::FoldCase(unit);
        for (char16_t& unit : fb) unit = simwin::FoldCase(unit);
        return fa < fb;
    }));
}

TEST_F(RegistryTest, InvalidKeysAreCountedNotFatal) {
    ExpectInvalidHandleUses(3);
    Handle key = 0;
    ASSERT_EQ(simwin::RegOpenKey(kPreferencesPath, simwin::kKeyQueryValue, key), kSuccess);
    EXPECT_EQ(simwin::RegCloseKey(key), kSuccess);
    EXPECT_EQ(simwin::RegCloseKey(key), Code(simwin::kErrorInvalidHandle));
    std::uint32_t size = 0;
    EXPECT_EQ(simwin::RegQueryValue(key, u"Printer", nullptr, nullptr, &size), Code(simwin::kErrorInvalidHandle));
    EXPECT_EQ(simwin::RegSetValue(key, u"Printer", simwin::kRegSz, nullptr, 0), Code(simwin::kErrorInvalidHandle));
}

}  // namespace
}  // namespace simwin_test
