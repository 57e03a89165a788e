#include "acquisition/log_writer.h"

#include "tests/support/fake_window_services.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace qv {
namespace {

using namespace std::chrono_literals;

// A file whose sync waits until the test lets it go, as a stalled disk does.
class StalledFile final : public LogFile {
public:
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    bool waitClosed() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return closed_; });
    }

    bool open(const std::string&, bool) override { return true; }
    bool seekToEnd() override { return true; }
    bool write(std::string_view) override { return true; }
    bool sync() override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return released_; });
        return true;
    }
    void cutBackLastWrite() override {}
    bool close() override {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
        return true;
    }
    bool isOpen() const override { return true; }
    std::string fullPath() const override { return "/logs/qv.txt"; }
    std::string lastErrorText() const override { return {}; }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
    bool closed_ = false;
};

TEST(LogWriter, ClosingGivesUpOnAStalledDiskAndTheThreadClosesTheFileLater) {
    test::FakeWindowServices window;
    auto file = std::make_shared<StalledFile>();
    LogWriter writer(window, file);
    writer.submit("line\r\n");

    const LogWriter::Finish finish = writer.finish(10ms);
    EXPECT_TRUE(finish.abandoned);
    EXPECT_FALSE(finish.closed);

    file->release();
    EXPECT_TRUE(file->waitClosed());
    EXPECT_EQ(window.postedCount(), 0u); // nothing reaches a window that may be gone
}

} // namespace
} // namespace qv
