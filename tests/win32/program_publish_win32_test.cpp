// QV-5300.exe publishing under Wine: the simulator on COMn and the runner's Mosquitto
// (scripts/wine-run --sensor N --display -- tests/publish/test_broker.sh around ...);
// the publishing values, password included, stored as the program stores them. Skipped
// without the simulator or the broker.

#include "publish/topics.h"
#include "settings/publish_settings.h"
#include "settings/settings_store.h"
#include "tests/publish/test_broker.h"
#include "tests/support/wait_until.h"
#include "text/win32_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace qv::test {
namespace {

using namespace std::chrono_literals;

constexpr char kPrefix[] = "qvtest/wine";

bool waitFor(const std::function<bool()>& done) {
    return waitUntil(done, 20s, [] { Sleep(20); });
}

// Publishing off again when the test ends, however it ends: the other tests of the
// program share its settings.
struct PublishingOffAtEnd {
    SettingsStore& store;
    ~PublishingOffAtEnd() { savePublishSettings(store, {}); }
};

TEST(ProgramE2eWin32, PublishesEachReadingToTheBroker) {
    const char* sensor = std::getenv("QV_SENSOR_PORT");
    TestBroker broker;
    if (sensor == nullptr || *sensor == '\0' || !broker.started())
        GTEST_SKIP() << "needs scripts/wine-run --sensor N --display and a broker";
    TestSubscriber reader(broker, "qvtest-wine", {publish::stateTopic(kPrefix)});
    ASSERT_TRUE(waitFor([&] { return reader.subscribed(); }));

    // The settings the program reads at start, through its own store.
    SettingsStore store("QV-5300");
    store.SetRegistryKey(kCompanyKey);
    ASSERT_TRUE(store.WriteProfileInt(nullptr, kComPortEntry, std::atoi(sensor)));
    const std::string address = "mqtt://127.0.0.1:" + std::to_string(broker.address().port);
    PublishingOffAtEnd off{store};
    ASSERT_TRUE(savePublishSettings(
        store, {true, address, broker.user(), broker.password(), kPrefix, true}));

    std::wstring commandLine = L"\"" + win32::wide(QV_PROGRAM_PATH) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND main = nullptr;
    ASSERT_TRUE(waitFor([&] {
        main = FindWindowW(L"#32770", L"QV-5300 - publishing");
        return main != nullptr;
    }));
    EXPECT_TRUE(waitFor([&] { return reader.payloads(publish::stateTopic(kPrefix)).size() >= 3; }));
    for (const std::string& payload : reader.payloads(publish::stateTopic(kPrefix)))
        EXPECT_NE(payload.find("\"humidity\":"), std::string::npos) << payload;

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace
} // namespace qv::test
