#include "settings/publish_settings.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"
#include "tests/support/named_row.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_folder.h"
#include "tests/support/without_root_overrides.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qv {
namespace {

// The private HOME and XDG_CONFIG_HOME are set before main() runs and kept for the whole
// program (a test that changes them puts them back); each test starts from an empty
// company folder instead.
class PrivateHome {
public:
    PrivateHome() {
        fs::create_directories(config());
        fs::create_directories(home());
        ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        ::setenv("HOME", home().c_str(), 1);
    }
    ~PrivateHome() {
        std::error_code ec;
        fs::permissions(companyDir(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::path config() const { return root_ / "config"; }
    fs::path home() const { return root_ / "home"; }
    fs::path companyDir() const { return config() / kCompanyKey; }

private:
    test::TempFolder root_{"qv-settings"};
};

const PrivateHome& privateHome() {
    static const PrivateHome home;
    return home;
}
[[maybe_unused]] const PrivateHome& kSetBeforeMain = privateHome();

fs::path path(const std::string& s) {
    return fs::path(s);
}

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        std::error_code ec;
        fs::permissions(companyDir(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(companyDir(), ec);
    }

    static fs::path companyDir() { return privateHome().companyDir(); }
    static fs::path confFile(const char* app = "QV-5300") {
        return companyDir() / (std::string(app) + ".conf");
    }
    // Writes the settings file as another program (or an editor) would.
    static void writeRaw(const std::string& contents, const char* app = "QV-5300") {
        fs::create_directories(companyDir());
        std::ofstream(confFile(app), std::ios::binary | std::ios::trunc) << contents;
    }
    static SettingsStore store(const char* app = "QV-5300") {
        SettingsStore s{app};
        s.SetRegistryKey(kCompanyKey);
        return s;
    }
};

TEST_F(SettingsStoreTest, FirstStartGivesTheDefaultsAndWritesNothing) {
    const AppSettings s = loadAppSettings(store());

    EXPECT_EQ(s.port, 1);
    EXPECT_EQ(s.interval, 5);
    EXPECT_EQ(s.append, 1);
    EXPECT_EQ(s.autoReconnect, 0);
    EXPECT_EQ(path(s.fileName), privateHome().home() / "tavrin.log");
    EXPECT_TRUE(path(s.fileName).is_absolute());
    EXPECT_FALSE(fs::exists(confFile()));
}

TEST_F(SettingsStoreTest, PublishSettingsComeBackAndTheFileHoldingThePasswordIsPrivate) {
    SettingsStore s = store();
    EXPECT_EQ(loadPublishSettings(s), PublishSettings{});
    EXPECT_TRUE(loadPublishSettings(s).discovery);
    // A file made before, readable by everyone.
    ASSERT_TRUE(s.WriteProfileInt(nullptr, kComPortEntry, 3));
    fs::permissions(confFile(), fs::perms(0644));

    const PublishSettings stored{true,       "mqtt://broker:1884", "hygro",
                                 "p\"=ä ;#", "lab/com3",           false};
    ASSERT_TRUE(savePublishSettings(s, stored));

    EXPECT_EQ(loadPublishSettings(s), stored);
    EXPECT_EQ(fs::status(confFile()).permissions(), fs::perms(0600));
    EXPECT_EQ(s.GetProfileInt(nullptr, kComPortEntry, 1), 3);
}

TEST_F(SettingsStoreTest, FileLivesInTheCompanyFolderOfXdgConfigHome) {
    SettingsStore s = store();
    ASSERT_TRUE(s.WriteProfileInt(nullptr, kComPortEntry, 7));

    EXPECT_EQ(settingsFilePath(s.company(), s.applicationName()), confFile());
    EXPECT_EQ(portsFolder(), companyDir() / "ports");
    EXPECT_TRUE(fs::is_regular_file(confFile()));
}

TEST_F(SettingsStoreTest, AWriteIsSeenAtOnceByAnotherStoreAndTheLastWriterWins) {
    SettingsStore first = store();
    SettingsStore second = store();

    ASSERT_TRUE(first.WriteProfileInt(nullptr, kLogIntervalEntry, 60));
    ASSERT_TRUE(first.WriteProfileString(nullptr, kLogFileNameEntry, "/data/a.log"));
    EXPECT_EQ(second.GetProfileInt(nullptr, kLogIntervalEntry, 5), 60);
    EXPECT_EQ(second.GetProfileString(nullptr, kLogFileNameEntry, "x"), "/data/a.log");

    ASSERT_TRUE(second.WriteProfileInt(nullptr, kLogIntervalEntry, 120));
    EXPECT_EQ(first.GetProfileInt(nullptr, kLogIntervalEntry, 5), 120);
    // The other value written by the first store survives the second store's write.
    EXPECT_EQ(first.GetProfileString(nullptr, kLogFileNameEntry, "x"), "/data/a.log");
}

TEST_F(SettingsStoreTest, EachReadGoesToTheFileAgain) {
    const SettingsStore s = store();
    writeRaw("[General]\nComPort=12\n");
    ASSERT_EQ(s.GetProfileInt(nullptr, kComPortEntry, 1), 12);

    // Another program rewrites the file with a value of the same length; its time stamp
    // is moved on so that the change is visible whatever the clock's resolution.
    const auto before = fs::last_write_time(confFile());
    writeRaw("[General]\nComPort=13\n");
    fs::last_write_time(confFile(), before + std::chrono::seconds{2});

    EXPECT_EQ(s.GetProfileInt(nullptr, kComPortEntry, 1), 13);
}

class TextRoundTrip : public SettingsStoreTest, public testing::WithParamInterface<const char*> {};

TEST_P(TextRoundTrip, TextComesBackUnchanged) {
    const std::string text = GetParam();
    ASSERT_TRUE(store().WriteProfileString(nullptr, kLogFileNameEntry, text));
    EXPECT_EQ(store().GetProfileString(nullptr, kLogFileNameEntry, "default"), text);
}

INSTANTIATE_TEST_SUITE_P(FileNames, TextRoundTrip,
                         testing::Values("c:\\tavrin.log", "/home/me/log, part 2.log",
                                         "/tmp/a;b=c#d.log", "/tmp/\"quoted\" name.log",
                                         "  /tmp/padded.log  ",
                                         "/home/j\xc3\xbcrgen/Messwerte \xe2\x82\xac.log",
                                         "@ByteArray(x).log", ""));

struct RawValueCase : test::NamedRow {
    const char* fileContents;
    AppSettings expected; // fileName empty: the default file name
};

class RawValues : public SettingsStoreTest, public testing::WithParamInterface<RawValueCase> {};

TEST_P(RawValues, LoadedAsStoredOrDefaultWhenOfTheWrongType) {
    writeRaw(GetParam().fileContents);
    const AppSettings got = loadAppSettings(store());
    const AppSettings& want = GetParam().expected;

    EXPECT_EQ(got.port, want.port);
    EXPECT_EQ(got.interval, want.interval);
    EXPECT_EQ(got.append, want.append);
    EXPECT_EQ(got.autoReconnect, want.autoReconnect);
    EXPECT_EQ(got.fileName, want.fileName.empty() ? defaultLogFileName() : want.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RawValues,
    testing::Values(
        RawValueCase{"OutOfRangeUsedUnchanged",
                     "[General]\nComPort=300\nLogInterval=0\nAppend=7\n",
                     {300, 0, "", 7}},
        RawValueCase{"NegativeUsedUnchanged", "[General]\nLogInterval=-5\n", {1, -5, "", 1}},
        RawValueCase{
            "TextWhereANumberIsRead", "[General]\nComPort=abc\nAppend=yes\n", {1, 5, "", 1}},
        RawValueCase{"FractionOrTooLargeForInt",
                     "[General]\nLogInterval=2.5\nComPort=4294967296\nAppend=-2147483649\n",
                     {1, 5, "", 1}},
        RawValueCase{"UnquotedCommasReadAsAList", "[General]\nLogFileName=/a, /b\n", {1, 5, "", 1}},
        RawValueCase{"AutoReconnectBesideTheOthers",
                     "[General]\nAppend=0\nAutoReconnect=1\n",
                     {1, 5, "", 0, 1}},
        RawValueCase{"ValuesInASectionAreNotTheTopLevelOnes",
                     "[Settings]\nComPort=4\n[General]\nLogInterval=9\n",
                     {1, 9, "", 1}}),
    test::RowName{});

struct WindowPositionCase : test::NamedRow {
    const char* fileContents;
    std::optional<ScreenPoint> expected;
};

class StoredWindowPosition : public SettingsStoreTest,
                             public testing::WithParamInterface<WindowPositionCase> {};

TEST_P(StoredWindowPosition, NeedsBothNumbers) {
    writeRaw(GetParam().fileContents);
    EXPECT_EQ(loadWindowPosition(store()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, StoredWindowPosition,
    testing::Values(WindowPositionCase{"BothOnAMonitorLeftOfThePrimary",
                                       "[General]\nWindowLeft=-1280\nWindowTop=7\n",
                                       ScreenPoint{-1280, 7}},
                    WindowPositionCase{"NeverStored", "[General]\nComPort=3\n", std::nullopt},
                    WindowPositionCase{"OnlyOne", "[General]\nWindowLeft=10\n", std::nullopt},
                    WindowPositionCase{"TextWhereANumberIsRead",
                                       "[General]\nWindowLeft=10\nWindowTop=top\n", std::nullopt}),
    test::RowName{});

TEST_F(SettingsStoreTest, ACorruptFileGivesDefaults) {
    // Binary garbage, NUL bytes included, with a well-formed line in the middle: nothing
    // from a file that does not parse is trusted.
    static constexpr char kGarbage[] = "\x7f"
                                       "ELF\x02\x01\x01\0\0\0[\xff\xfe=\n\x01\0"
                                       "\nComPort=3\nLogInterval=9\n[\0\n\xc3(\x80=\"\n";
    writeRaw(std::string(kGarbage, sizeof kGarbage - 1));

    // Read twice: the second load finds the file already parsed in this process.
    for (int load = 0; load < 2; ++load) {
        const AppSettings s = loadAppSettings(store());
        EXPECT_EQ(s.port, 1);
        EXPECT_EQ(s.interval, 5);
        EXPECT_EQ(s.fileName, defaultLogFileName());
    }

    // Saving replaces it with a file that holds what was saved, and nothing of the garbage.
    EXPECT_TRUE(store().WriteProfileInt(nullptr, kLogIntervalEntry, 8));
    EXPECT_EQ(store().GetProfileInt(nullptr, kLogIntervalEntry, 5), 8);
    EXPECT_EQ(store().GetProfileInt(nullptr, kComPortEntry, 1), 1);
}

TEST_F(SettingsStoreTest, AConfFileThatCannotBeReadGivesDefaults) {
    // A folder where the file should be cannot be read, whoever runs the test.
    fs::create_directories(confFile());
    EXPECT_EQ(store().GetProfileInt(nullptr, kComPortEntry, 1), 1);
    EXPECT_EQ(store().GetProfileString(nullptr, kLogFileNameEntry, "d"), "d");
    EXPECT_FALSE(store().WriteProfileInt(nullptr, kComPortEntry, 2));
}

// Whatever lies where the file should be, a read returns at once with the defaults and a
// write leaves it alone. (A write through the link to /dev/zero is not tried: were it to
// go through, it would replace the machine's device.)
struct HostileRow : test::NamedRow {
    void (*make)(const fs::path& file, const std::string& terminal);
    bool tryWrite = true;
};

class HostileFile : public SettingsStoreTest, public testing::WithParamInterface<HostileRow> {
protected:
    test::PseudoTerminal terminal_;
};

TEST_P(HostileFile, GivesDefaultsAndIsNotWritten) {
    fs::create_directories(companyDir());
    GetParam().make(confFile(), terminal_.slave());
    const auto type = fs::symlink_status(confFile()).type();
    EXPECT_EQ(store().GetProfileInt(nullptr, kComPortEntry, 1), 1);
    if (GetParam().tryWrite) {
        EXPECT_FALSE(store().WriteProfileInt(nullptr, kComPortEntry, 2));
    }
    EXPECT_EQ(fs::symlink_status(confFile()).type(), type);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFile,
                         testing::Values(HostileRow{"FifoNobodyWrites",
                                                    [](const fs::path& f, const std::string&) {
                                                        ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
                                                    }},
                                         HostileRow{
                                             "LinkToATerminal",
                                             [](const fs::path& f, const std::string& terminal) {
                                                 fs::create_symlink(terminal, f);
                                             }},
                                         HostileRow{"LinkToAnEndlessDevice",
                                                    [](const fs::path& f, const std::string&) {
                                                        fs::create_symlink("/dev/zero", f);
                                                    },
                                                    false},
                                         HostileRow{"SparseTerabyte",
                                                    [](const fs::path& f, const std::string&) {
                                                        std::ofstream(f)
                                                            << "[General]\nComPort=4\n";
                                                        fs::resize_file(f, std::uintmax_t{1} << 40);
                                                    }}),
                         test::RowName{});

TEST_F(SettingsStoreTest, AFileWithoutReadPermissionGivesDefaults) {
    writeRaw("[General]\nComPort=4\n");
    fs::permissions(confFile(), fs::perms::none);
    EXPECT_EQ(
        test::withoutRootOverrides([] { return store().GetProfileInt(nullptr, kComPortEntry, 1); }),
        1);
}

TEST_F(SettingsStoreTest, AFailedWriteIsReported) {
    // The company folder cannot be created where a file of that name lies.
    fs::create_directories(companyDir().parent_path());
    std::ofstream(companyDir()) << "in the way";

    EXPECT_FALSE(store().WriteProfileInt(nullptr, kComPortEntry, 2));
    EXPECT_FALSE(store().WriteProfileString(nullptr, kLogFileNameEntry, "/x.log"));
    EXPECT_EQ(store().GetProfileInt(nullptr, kComPortEntry, 1), 1);
}

TEST_F(SettingsStoreTest, EachProgramFileNameKeepsValuesOfItsOwn) {
    ASSERT_TRUE(store("QV-5300").WriteProfileInt(nullptr, kComPortEntry, 3));
    ASSERT_TRUE(store("QV-5300 copy").WriteProfileInt(nullptr, kComPortEntry, 9));

    EXPECT_EQ(store("QV-5300").GetProfileInt(nullptr, kComPortEntry, 1), 3);
    EXPECT_EQ(store("QV-5300 copy").GetProfileInt(nullptr, kComPortEntry, 1), 9);
    EXPECT_EQ(store("other").GetProfileInt(nullptr, kComPortEntry, 1), 1);
}

TEST(ApplicationName, IsTheWholeProgramFileNameWithoutFolder) {
    EXPECT_EQ(applicationNameFromProgramPath("/opt/tavrin/QV-5300"), "QV-5300");
    EXPECT_EQ(applicationNameFromProgramPath("/opt/tavrin/QV-5300.v2"), "QV-5300.v2");
    EXPECT_EQ(applicationNameFromProgramPath("QV-5300.exe"), "QV-5300.exe");
    EXPECT_EQ(applicationNameFromProgramPath("/usr/bin/qv.5300.exe"), "qv.5300.exe");
}

// The settings file and the port folder of the program and of the simulator all come
// from one folder, and the default log file from the same home, whatever the environment
// holds (null: unset).
struct FolderRow : test::NamedRow {
    const char* xdg;
    const char* home;
    fs::path folder; // empty: the password database's home + /.config/Tavrin QV-5300
};

class UserFolder : public testing::TestWithParam<FolderRow> {};

TEST_P(UserFolder, HoldsTheSettingsFileAndThePortFolder) {
    const std::string savedXdg = std::getenv("XDG_CONFIG_HOME"), savedHome = std::getenv("HOME");
    const auto set = [](const char* name, const char* v) {
        v ? ::setenv(name, v, 1) : ::unsetenv(name);
    };
    set("XDG_CONFIG_HOME", GetParam().xdg);
    set("HOME", GetParam().home);
    const fs::path passwordHome = ::getpwuid(::getuid())->pw_dir;
    const fs::path folder =
        GetParam().folder.empty() ? passwordHome / ".config" / kCompanyKey : GetParam().folder;
    EXPECT_EQ(settingsFilePath(kCompanyKey, "QV-5300"), folder / "QV-5300.conf");
    EXPECT_EQ(portsFolder(), folder / "ports");
    EXPECT_EQ(fs::path(defaultLogFileName()),
              (GetParam().home ? fs::path(GetParam().home) : passwordHome) / "tavrin.log");
    set("XDG_CONFIG_HOME", savedXdg.c_str());
    set("HOME", savedHome.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Environments, UserFolder,
    testing::Values(FolderRow{"Xdg", "/x", "/h", "/x/Tavrin QV-5300"},
                    FolderRow{"EmptyXdgGivesHome", "", "/h", "/h/.config/Tavrin QV-5300"},
                    FolderRow{"NoHomeGivesThePasswordDatabase", nullptr, nullptr, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qv
