#pragma once

// Rows of parameterised tables that carry their own name: GoogleTest prints a row as its
// name (in "GetParam() = ..." of a failure) and names each case after it.
//   struct Row : qv::test::NamedRow { int value; };
//   INSTANTIATE_TEST_SUITE_P(Rows, Suite, testing::ValuesIn(kRows), qv::test::RowName{});

#include <ostream>
#include <string>

namespace qv::test {

struct NamedRow {
    const char* name; // a valid test name: letters, digits and underscores
};

inline std::ostream& operator<<(std::ostream& out, const NamedRow& row) {
    return out << row.name;
}

struct RowName {
    template <class Info> std::string operator()(const Info& info) const { return info.param.name; }
};

} // namespace qv::test
