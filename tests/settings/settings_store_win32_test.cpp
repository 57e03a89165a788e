// The registry store: key path, value types, defaults, values of another type, text
// beyond ASCII. Each test uses an application key named after itself and removes it.

#include "settings/publish_settings.h"
#include "settings/settings_store.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <windows.h>
// The store's operations carry the names of the old profile calls, which windows.h
// defines as macros.
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString

namespace qv {
namespace {

std::wstring appKeyPath(const std::string& app) {
    return L"Software\\Tavrin QV-5300\\" + std::wstring(app.begin(), app.end());
}

class RegistryStoreTest : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, appKeyPath(app_).c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, appKeyPath(app_).c_str()); }

    SettingsStore store() const {
        SettingsStore s(app_);
        s.SetRegistryKey(kCompanyKey);
        return s;
    }
    // Writes a value as another program would.
    void writeRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER, appKeyPath(app_).c_str(), name, type, data, size),
            ERROR_SUCCESS);
    }
    // The raw type and bytes of a value.
    bool readRaw(const wchar_t* name, DWORD& type, std::wstring& bytes) const {
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, appKeyPath(app_).c_str(), name,
                         RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        bytes.assign((size + 1) / 2, L'\0');
        return RegGetValueW(HKEY_CURRENT_USER, appKeyPath(app_).c_str(), name,
                            RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(), &size) == ERROR_SUCCESS;
    }

    const std::string app_ = testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(RegistryStoreTest, FirstReadGivesDefaultsAndLeavesTheEmptyKeyPath) {
    const AppSettings s = loadAppSettings(store());
    EXPECT_EQ(s.port, 1);
    EXPECT_EQ(s.interval, 5);
    // tavrin.log in a folder that exists, not the root of C:, which a standard user may
    // not write to.
    const std::filesystem::path log = std::filesystem::u8path(s.fileName);
    EXPECT_EQ(log.filename(), "tavrin.log");
    EXPECT_TRUE(std::filesystem::is_directory(log.parent_path())) << s.fileName;
    EXPECT_NE(log.parent_path(), log.root_path()) << s.fileName;
    EXPECT_EQ(s.append, 1);
    EXPECT_EQ(s.autoReconnect, 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, appKeyPath(app_).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD subKeys = 1, values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 0u);
}

TEST_F(RegistryStoreTest, StoredLogFileNameIsUsedAsStored) {
    SettingsStore s = store();
    ASSERT_TRUE(s.WriteProfileString(nullptr, kLogFileNameEntry, "c:\\tavrin.log"));
    EXPECT_EQ(loadAppSettings(s).fileName, "c:\\tavrin.log");
}

TEST_F(RegistryStoreTest, NumbersAreDwordsAndTextIsZeroEndedUtf16) {
    SettingsStore s = store();
    const std::string name = "C:\\Daten\\Größe µ°C ☃.log";
    ASSERT_TRUE(s.WriteProfileInt(nullptr, kLogIntervalEntry, -7));
    ASSERT_TRUE(s.WriteProfileString(nullptr, kLogFileNameEntry, name));
    DWORD type = 0;
    std::wstring bytes;
    ASSERT_TRUE(readRaw(L"LogInterval", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(bytes.data()), static_cast<DWORD>(-7));
    ASSERT_TRUE(readRaw(L"LogFileName", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, std::wstring(L"C:\\Daten\\Gr\u00f6\u00dfe \u00b5\u00b0C \u2603.log") + L'\0');
    EXPECT_EQ(s.GetProfileInt(nullptr, kLogIntervalEntry, 5), -7);
    EXPECT_EQ(s.GetProfileString(nullptr, kLogFileNameEntry, ""), name);
    // Another program file name keeps values of its own.
    SettingsStore other("QV-5300-copy");
    other.SetRegistryKey(kCompanyKey);
    EXPECT_EQ(other.GetProfileInt(nullptr, kLogIntervalEntry, 5), 5);
    RegDeleteTreeW(HKEY_CURRENT_USER, appKeyPath("QV-5300-copy").c_str());
}

TEST_F(RegistryStoreTest, EmptyTextKeepsItsTerminator) {
    SettingsStore s = store();
    ASSERT_TRUE(s.WriteProfileString(nullptr, kLogFileNameEntry, ""));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, appKeyPath(app_).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    // RegGetValueW would add a missing terminator; the raw query shows the stored bytes.
    EXPECT_EQ(RegQueryValueExW(key, L"LogFileName", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof(wchar_t));
    EXPECT_EQ(s.GetProfileString(nullptr, kLogFileNameEntry, "default"), "");
}

struct OtherTypeCase : test::NamedRow {
    DWORD type;
    const void* data;
    DWORD size;
};
const DWORD kNumber = 42;
const wchar_t kText[] = L"42";
const unsigned long long kWide = 42;

class OtherTypes : public RegistryStoreTest, public testing::WithParamInterface<OtherTypeCase> {};

TEST_P(OtherTypes, GiveTheDefault) {
    const OtherTypeCase& c = GetParam();
    writeRaw(L"ComPort", c.type, c.data, c.size);
    writeRaw(L"LogFileName", c.type, c.data, c.size);
    SettingsStore s = store();
    if (c.type != REG_DWORD) {
        EXPECT_EQ(s.GetProfileInt(nullptr, kComPortEntry, 1), 1);
    }
    if (c.type != REG_SZ) {
        EXPECT_EQ(s.GetProfileString(nullptr, kLogFileNameEntry, "d"), "d");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, OtherTypes,
    testing::Values(OtherTypeCase{"Dword", REG_DWORD, &kNumber, sizeof kNumber},
                    OtherTypeCase{"Text", REG_SZ, kText, sizeof kText},
                    OtherTypeCase{"ExpandableText", REG_EXPAND_SZ, kText, sizeof kText},
                    OtherTypeCase{"Binary", REG_BINARY, &kNumber, sizeof kNumber},
                    OtherTypeCase{"Qword", REG_QWORD, &kWide, sizeof kWide}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryStoreTest, ThePasswordIsStoredEncryptedAndComesBack) {
    SettingsStore s = store();
    const PublishSettings stored{true, "mqtt://broker", "hygro", "geheim-ä", "lab/com3", true};
    ASSERT_TRUE(savePublishSettings(s, stored));

    EXPECT_EQ(loadPublishSettings(s), stored);
    const std::string kept = s.GetProfileString(nullptr, kMqttPasswordEntry, {});
    EXPECT_EQ(kept.find("geheim"), std::string::npos);
    EXPECT_GT(kept.size(), stored.password.size());

    // Damaged text (or another user's) gives no password, the other values as stored.
    ASSERT_TRUE(s.WriteProfileString(nullptr, kMqttPasswordEntry, kept.substr(2)));
    EXPECT_EQ(loadPublishSettings(s).password, "");
    EXPECT_EQ(loadPublishSettings(s).user, "hygro");
}

TEST(ApplicationName, IsTheProgramFileWithoutFolderAndExtension) {
    EXPECT_EQ(applicationNameFromProgramPath("C:\\Program Files\\Tavrin\\QV-5300.exe"), "QV-5300");
    EXPECT_EQ(applicationNameFromProgramPath("QV-5300.exe"), "QV-5300");
    EXPECT_EQ(applicationNameFromProgramPath("/opt/qv.5300.exe"), "qv.5300");
    EXPECT_EQ(applicationNameFromProgramPath("QV-5300"), "QV-5300");
}

} // namespace
} // namespace qv
