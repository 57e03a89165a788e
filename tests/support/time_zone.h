#pragma once

// Sets the process's time zone (the TZ variable, POSIX rule syntax) for the life of the
// object and puts the previous one back, so that local-time rules can be tested with a
// known zone. No Qt.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace qv::test {

class ScopedTimeZone {
public:
    // `rule`, e.g. "UTC0" or "CET-1CEST,M3.5.0,M10.5.0/3".
    explicit ScopedTimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ"))
            previous_ = old;
        set(rule);
    }
    ~ScopedTimeZone() { set(previous_ ? previous_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    static void set(const char* rule) {
#ifdef _WIN32
        _putenv_s("TZ", rule ? rule : "");
        _tzset();
#else
        rule ? ::setenv("TZ", rule, 1) : ::unsetenv("TZ");
        ::tzset();
#endif
    }
    std::optional<std::string> previous_;
};

} // namespace qv::test
