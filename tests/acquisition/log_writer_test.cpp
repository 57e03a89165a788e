#include "acquisition/log_writer.h"

#include "tests/support/fake_window_services.h"

#include <gtest/gtest.h>

#include <future>

namespace qv {
namespace {

using namespace std::chrono_literals;

// A file whose sync waits until the test lets it go, as a stalled disk does.
class StalledFile final : public LogFile {
public:
    std::promise<void> release, closed;
    bool open(const std::string&, bool) override { return true; }
    bool seekToEnd() override { return true; }
    bool write(std::string_view) override { return true; }
    bool sync() override { return released_.wait(), true; }
    void cutBackLastWrite() override {}
    bool close() override { return closed.set_value(), true; }
    bool isOpen() const override { return true; }
    std::string fullPath() const override { return "/logs/qv.txt"; }
    std::string lastErrorText() const override { return {}; }

private:
    std::shared_future<void> released_ = release.get_future().share();
};

TEST(LogWriter, ClosingGivesUpOnAStalledDiskAndTheThreadClosesTheFileLater) {
    test::FakeWindowServices window;
    auto file = std::make_shared<StalledFile>();
    auto closed = file->closed.get_future();
    LogWriter writer(window, file);
    writer.submit("line\r\n");

    const LogWriter::Finish finish = writer.finish(10ms);
    EXPECT_TRUE(finish.abandoned);
    EXPECT_FALSE(finish.closed);
    file->release.set_value();
    EXPECT_EQ(closed.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(window.postedCount(), 0u); // nothing reaches a window that may be gone
}

} // namespace
} // namespace qv
