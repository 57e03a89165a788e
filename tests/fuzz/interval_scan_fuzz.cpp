// libFuzzer target: the setup dialog's interval scan against the C library's "%d".

#include "tests/fuzz/fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const std::string failure = qv::fuzz::checkIntervalScan(data, size); !failure.empty()) {
        std::fprintf(stderr, "interval_scan_fuzz: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
