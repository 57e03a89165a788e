// The settings file's format, byte for byte as Qt's QSettings writes and reads it: every
// expected file below is what QSettings 6 wrote for the same contents and write.

#include "settings/ini_file.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qv {
namespace {

using namespace std::string_literals;

struct WriteRow : test::NamedRow {
    std::string before; // the file before the write
    const char* key;
    std::string text;  // written as text
    std::string after; // the whole file after it
};

class IniWrite : public testing::TestWithParam<WriteRow> {};

TEST_P(IniWrite, GivesTheFileQSettingsWrites) {
    ini::Entries entries = ini::parse(GetParam().before).entries;
    ini::set(entries, GetParam().key, ini::textValue(GetParam().text));
    EXPECT_EQ(ini::serialize(entries), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniWrite,
    testing::Values(
        WriteRow{"TopLevelUnderGeneral", "", "ComPort", "7", "[General]\nComPort=7\n"},
        WriteRow{"SectionsByNameKeysSorted", "[Zeta]\nb=1\na=2\n[Alpha]\nz=1\n", "ComPort", "3",
                 "[General]\nComPort=3\n\n[Alpha]\nz=1\n\n[Zeta]\na=2\nb=1\n"},
        WriteRow{"CommentsAndLinesWithoutEqualsGo",
                 "; mine\n[General]\nComPort=8 ; eight\ngarbage\n", "Append", "0",
                 "[General]\nAppend=0\nComPort=8\n"},
        WriteRow{"GeneralSectionsMerged", "x=1\n[general]\ny=2\n[GENERAL]\nz=3\n", "a", "0",
                 "[General]\na=0\nx=1\ny=2\nz=3\n"},
        WriteRow{"KeysEscaped", "[A]\nkey with space=1\nk%U00e9y=2\nsl\\ash=3\n[%General]\nq=4\n",
                 "ComPort", "9",
                 "[General]\nComPort=9\n\n[A]\nkey%20with%20space=1\nk%E9y=2\nsl\\ash=3\n\n"
                 "[%General]\nq=4\n"},
        WriteRow{"ListsAndTypesKept",
                 "[A]\nv=a, b ,\"c,d\", @x, @@y, @ByteArray(z)\nw=@Foo(1)\nu=@Rect(1 2 3 4)\n",
                 "ComPort", "9",
                 "[General]\nComPort=9\n\n[A]\nu=@Rect(1 2 3 4)\nv=a, b, \"c,d\", @@x, @@y, "
                 "@ByteArray(z)\nw=@@Foo(1)\n"},
        // Texts: quoted for ";", ",", "=" and spaces at either end; C escapes; a digit
        // after a numeric escape escaped too; "@" doubled; a NUL makes it @String.
        WriteRow{"TextQuoted", "", "v", " a;b ", "[General]\nv=\" a;b \"\n"},
        WriteRow{"TextEscaped", "", "v",
                 "q\"\\\t\x01y\x01"
                 "a",
                 "[General]\nv=q\\\"\\\\\\t\\x1y\\x1\\x61\n"},
        WriteRow{"TextWithNul", "", "v", "nul\0ab"s, "[General]\nv=@String(nul\\0\\x61\\x62)\n"},
        WriteRow{"TextWithAt", "", "v", "@ByteArray(x)", "[General]\nv=@@ByteArray(x)\n"},
        WriteRow{"TextUtf8AsIs", "", "v", "\xc3\xbc\xe2\x82\xac\x7f",
                 "[General]\nv=\xc3\xbc\xe2\x82\xac\x7f\n"}),
    test::RowName{});

struct ReadRow : test::NamedRow {
    std::string file;
    std::optional<long long> number;
    std::optional<std::string> text;
};

class IniRead : public testing::TestWithParam<ReadRow> {};

TEST_P(IniRead, GivesWhatQSettingsReads) {
    const ini::Parsed parsed = ini::parse(GetParam().file);
    const ini::Value* value = ini::find(parsed.entries, "v");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(ini::asInteger(*value), GetParam().number);
    EXPECT_EQ(ini::asText(*value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniRead,
    testing::Values(ReadRow{"SignsAndZeros", "v=-0", 0, "-0"}, ReadRow{"Plus", "v=+007", 7, "+007"},
                    ReadRow{"SpacesAroundDropped", "v= \t5 \t", 5, "5"},
                    ReadRow{"QuotedKeepsSpaces", "v=\" 5 \"", 5, " 5 "},
                    ReadRow{"NumberEndsAtNul", "v=5\\0x", 5, "5\0x"s},
                    ReadRow{"HexAndExponentAreText", "v=0x10", std::nullopt, "0x10"},
                    ReadRow{"Beyond64Bits", "v=9223372036854775808", std::nullopt,
                            "9223372036854775808"},
                    ReadRow{"CommentEnds", "v=5;six", 5, "5"},
                    ReadRow{"EscapesDecoded", "v=a\\x41\\101\\q\\t", std::nullopt, "aAA\t"},
                    ReadRow{"LineContinued", "v=con\\\ntinued", std::nullopt, "continued"},
                    ReadRow{"QuotedLineEnd", "v=\"two\nlines\"", std::nullopt, "two\nlines"},
                    ReadRow{"ListIsNeither", "v=1, 2", std::nullopt, std::nullopt},
                    ReadRow{"BytesAreANumberButNoText", "v=@ByteArray(5)", 5, std::nullopt},
                    ReadRow{"InvalidIsNeither", "v=@Invalid()", std::nullopt, std::nullopt},
                    ReadRow{"DoubledAtIsText", "v=@@x", std::nullopt, "@x"},
                    ReadRow{"StringMark", "v=@String(7)", 7, "7"}),
    test::RowName{});

TEST(IniParse, AnUnclosedSectionMakesTheFileUntrustedALineWithoutEqualsOnlyThatLine) {
    EXPECT_FALSE(ini::parse("[General\nv=1\n").fileOk);
    const ini::Parsed parsed = ini::parse("[General]\ngarbage\nv=1\n");
    EXPECT_TRUE(parsed.fileOk);
    EXPECT_FALSE(parsed.linesOk);
    EXPECT_NE(ini::find(parsed.entries, "v"), nullptr);
}

} // namespace
} // namespace qv
