// The Windows default log file over the Documents folder the system names.

#include "settings/default_log_file.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

struct Row : test::NamedRow {
    const char* documents;
    const char* logFile;
};

const Row kRows[] = {
    {"UnderDocuments", "C:\\Users\\me\\Documents", "C:\\Users\\me\\Documents\\tavrin.log"},
    {"RedirectedToADriveRoot", "D:\\", "D:\\tavrin.log"},
    {"RedirectedToAShare", "\\\\server\\home\\me", "\\\\server\\home\\me\\tavrin.log"},
    {"TextBeyondAscii", "C:\\Users\\J\xC3\xBCrgen\\Dokumente",
     "C:\\Users\\J\xC3\xBCrgen\\Dokumente\\tavrin.log"},
    {"NoFolderKeepsTheOldName", "", "c:\\tavrin.log"},
};

class WindowsDefaultLogFile : public testing::TestWithParam<Row> {};

TEST_P(WindowsDefaultLogFile, IsTavrinLogInTheFolder) {
    EXPECT_EQ(windowsDefaultLogFile(GetParam().documents), GetParam().logFile);
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowsDefaultLogFile, testing::ValuesIn(kRows), test::RowName{});

} // namespace
} // namespace qv
