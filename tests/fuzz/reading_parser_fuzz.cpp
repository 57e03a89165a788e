// libFuzzer target: the Reading parser fed in arbitrary chunks against byte by byte and
// against the record rules (see fuzz_checks.h for the input layout).

#include "tests/fuzz/fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const std::string failure = qv::fuzz::checkReadingParser(data, size); !failure.empty()) {
        std::fprintf(stderr, "reading_parser_fuzz: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
