#include "platform/linux/registry/RegFile.h"

#include <gtest/gtest.h>

#include "support/SkippedLines.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

using namespace std::string_literals;
using namespace std::string_view_literals;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// The key at a '\'-separated path below HKEY_LOCAL_MACHINE, or null.
const CRegKeyNode* FindKey(const CRegTree& tree, std::string_view path) {
    std::vector<std::string> names;
    for (std::size_t start = 0; !path.empty() && start <= path.size();) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return tree.Find(HKEY_LOCAL_MACHINE, names);
}

const std::string X = "Software\\x";

std::string Section(std::string_view lines) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + X + "]\n" + std::string(lines);
}

// Parse(Format(tree)) must give the tree back.
void ExpectRoundTrip(const CRegTree& tree) {
    const std::string text = CRegFile::Format(tree);
    std::vector<CRegFile::CSkipped> skipped;
    const std::optional<CRegTree> again = CRegFile::Parse(text, &skipped);
    ASSERT_TRUE(again) << text;
    EXPECT_TRUE(*again == tree) << text;
    EXPECT_TRUE(skipped.empty()) << text;
}

// ---------------------------------------------------------------------------------------
// Text that parses though Format never writes it so, and one value it must yield.

struct CValueCase {
    const char* szName;
    std::string text;
    std::string_view value;
    DWORD dwType;
    std::string data;
    std::string_view key = X;
};

// Test names say enough; the default print of a case is its raw bytes.
void PrintTo(const CValueCase& c, std::ostream* os) {
    *os << c.szName;
}

class CRegFileValueTest : public testing::TestWithParam<CValueCase> {};

TEST_P(CRegFileValueTest, ParsesTheValue) {
    const CValueCase& c = GetParam();
    const std::optional<CRegTree> tree = CRegFile::Parse(c.text);
    ASSERT_TRUE(tree);
    const CRegKeyNode* pKey = FindKey(*tree, c.key);
    ASSERT_NE(pKey, nullptr);
    const CRegValue* pValue = pKey->FindValue(c.value);
    ASSERT_NE(pValue, nullptr);
    EXPECT_EQ(pValue->dwType, c.dwType);
    EXPECT_EQ(pValue->data, Bytes(c.data));
}

INSTANTIATE_TEST_SUITE_P(
    Text, CRegFileValueTest,
    testing::Values(
        CValueCase{"DwordShortUpperCase", Section("\"n\"=DWORD:BeeF\n"), "n", REG_DWORD,
                   "\xef\xbe\0\0"s},
        CValueCase{"StringWithRawTab", Section("\"s\"=\"a\tb\"\n"), "s", REG_SZ, "a\tb\0"s},
        CValueCase{"OneDigitBytesUpperCaseAndBlanks", Section("\"b\" = hex: 1 ,a,\tFF \n"), "b",
                   REG_BINARY, "\x01\x0a\xff"s},
        CValueCase{"LargestType", Section("\"t\"=hex(FFFFFFFF):01\n"), "t", 0xFFFFFFFF, "\1"},
        CValueCase{"UnnamedValue", Section("@=\"default\"\n"), "", REG_SZ, "default\0"s},
        CValueCase{"EmptyNameIsTheUnnamedValue", Section("\"\"=dword:00000001\n"), "", REG_DWORD,
                   "\1\0\0\0"s},
        CValueCase{"Continuation",
                   Section("\"b\"=hex:01,02,\\\n    03,\\\n\t04\n\"after\"=dword:00000009\n"), "b",
                   REG_BINARY, "\1\2\3\4"},
        CValueCase{"ContinuationRightAfterTheColon", Section("\"b\"=hex(7):\\\n  61,00\n"), "b",
                   REG_MULTI_SZ, "a\0"s},
        CValueCase{"CrLfBomCommentsAndIndent",
                   "\xEF\xBB\xBFREGEDIT4\r\n\r\n; note\r\n  [HKEY_LOCAL_MACHINE\\Software\\x]  "
                   "\r\n  ; more\r\n\t\"v\"=dword:00000003\r\n",
                   "v", REG_DWORD, "\3\0\0\0"s},
        CValueCase{"RootAndNamesInOtherCase",
                   "REGEDIT4\n[hkey_local_machine\\SOFTWARE\\Hollin]\n\"Speed\"=dword:00000001\n",
                   "SPEED", REG_DWORD, "\1\0\0\0"s, "software\\HOLLIN"},
        CValueCase{
            "LaterDataWins",
            Section("\"v\"=dword:00000001\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"V\"=\"two\"\n"),
            "v", REG_SZ, "two\0"s},
        CValueCase{"ValueOnARoot", "REGEDIT4\n[HKEY_LOCAL_MACHINE]\n\"r\"=dword:00000001\n", "r",
                   REG_DWORD, "\1\0\0\0"s, ""},
        CValueCase{"KeyNameEndingInBrackets",
                   "REGEDIT4\n[HKEY_LOCAL_MACHINE\\ a ] b ]]\n\"v\"=hex:05\n", "v", REG_BINARY,
                   "\5", " a ] b ]"}),
    [](const auto& info) { return std::string(info.param.szName); });

// ---------------------------------------------------------------------------------------
// Lines that cannot be read are left out and reported; the lines around them count.

using CSkipped = CRegFile::CSkipped;

struct CSkipCase {
    const char* szName;
    std::string lines;  // from line 5, between the values "before" and "after"
    std::vector<CSkipped> skipped;
};

void PrintTo(const CSkipCase& c, std::ostream* os) {
    *os << c.szName;
}

class CRegFileSkipTest : public testing::TestWithParam<CSkipCase> {};

TEST_P(CRegFileSkipTest, LeavesOutOnlyTheLinesItReports) {
    const std::string text = Section("\"before\"=dword:00000001\n") + GetParam().lines +
                             "[HKEY_LOCAL_MACHINE\\Software\\y]\n\"after\"=dword:00000002\n";
    std::vector<CSkipped> skipped;
    const std::optional<CRegTree> tree = CRegFile::Parse(text, &skipped);
    ASSERT_TRUE(tree);
    EXPECT_EQ(skipped, GetParam().skipped);
    // Nothing of a skipped line gets in: no key, no value, not even part of one.
    std::vector<CSkipped> none;
    EXPECT_TRUE(*tree == *CRegFile::Parse(WithoutSkippedLines(text, skipped), &none));
    EXPECT_TRUE(none.empty());
    ASSERT_NE(FindKey(*tree, "Software\\y"), nullptr);
    EXPECT_NE(FindKey(*tree, "Software\\y")->FindValue("after"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Text, CRegFileSkipTest,
    testing::Values(
        CSkipCase{"UnknownRoot", "[HKLM\\Software]\n", {{5, 1}}},
        CSkipCase{"KeyDeletion", "[-HKEY_LOCAL_MACHINE\\Software\\x]\n", {{5, 1}}},
        CSkipCase{"ValuesOfABadSection",
                  "[HKEY_LOCAL_MACHINE\\Software\\new\\\\z]\n\"v\"=dword:00000001\n\n@=\"d\"\n",
                  {{5, 1}, {6, 1}, {8, 1}}},
        CSkipCase{"UnclosedSection", "[HKEY_LOCAL_MACHINE\\Software\n", {{5, 1}}},
        CSkipCase{"TextAfterSection", "[HKEY_LOCAL_MACHINE\\Software] x\n", {{5, 1}}},
        CSkipCase{"NulInKeyName", "[HKEY_LOCAL_MACHINE\\a\0b]\n"s, {{5, 1}}},
        CSkipCase{"ValueDeletion", "\"v\"=-\n", {{5, 1}}},
        CSkipCase{"StrayText", "speed=1\n", {{5, 1}}},
        CSkipCase{"BadHexDigit", "\"v\"=hex:01,0g\n", {{5, 1}}},
        CSkipCase{"ThreeDigitByte", "\"v\"=hex:100\n", {{5, 1}}},
        CSkipCase{"TrailingComma", "\"v\"=hex:01,\n", {{5, 1}}},
        CSkipCase{"BadByteOnAContinuation", "\"v\"=hex:01,\\\n  0g,\\\n  02\n", {{5, 3}}},
        CSkipCase{"ContinuationIntoASection", "\"v\"=hex:01,\\\n", {{5, 1}}},
        CSkipCase{"ContinuationIntoAValue", "\"v\"=hex:01,\\\n\"w\"=dword:00000003\n", {{5, 1}}},
        CSkipCase{"CommentInsideContinuation", "\"v\"=hex:01,\\\n; x\n  02\n", {{5, 1}, {7, 1}}},
        CSkipCase{"DwordTooLong", "\"v\"=dword:000000001\n", {{5, 1}}},
        CSkipCase{"DwordDecimalSign", "\"v\"=dword:-1\n", {{5, 1}}},
        CSkipCase{"TypeTooLong", "\"v\"=hex(100000000):01\n", {{5, 1}}},
        CSkipCase{"UnknownEscape", "\"v\"=\"a\\nb\"\n", {{5, 1}}},
        CSkipCase{"UnterminatedString", "\"v\"=\"abc\n", {{5, 1}}},
        CSkipCase{"TextAfterString", "\"v\"=\"a\" ; note\n", {{5, 1}}},
        CSkipCase{"UnterminatedName", "\"v=dword:00000001\n", {{5, 1}}},
        CSkipCase{"MissingEquals", "\"v\" dword:00000001\n", {{5, 1}}},
        CSkipCase{"MissingData", "\"v\"=\n", {{5, 1}}},
        CSkipCase{"CarriageReturnInString", "\"v\"=\"a\rb\"\n", {{5, 1}}},
        CSkipCase{"NulInName", "\"a\0b\"=dword:00000001\n"s, {{5, 1}}}),
    [](const auto& info) { return std::string(info.param.szName); });

TEST(CRegFileTest, TextThatIsNotRegedit4IsRejectedWhole) {
    for (const std::string_view text :
         {"Windows Registry Editor Version 5.00\n\n"sv, "\nREGEDIT4\n"sv, "  \n"sv}) {
        EXPECT_FALSE(CRegFile::Parse(text)) << text;
    }
    std::vector<CSkipped> skipped;
    EXPECT_TRUE(CRegFile::Parse("REGEDIT4\n\"v\"=dword:00000001\n", &skipped));
    EXPECT_EQ(skipped, (std::vector<CSkipped>{{2, 1}})) << "a value before the first key";
}

// ---------------------------------------------------------------------------------------
// Values written by Format: the form chosen, and the way back.

struct CFormatCase {
    const char* szName;
    DWORD dwType;
    std::string data;
    std::string_view line;
};

void PrintTo(const CFormatCase& c, std::ostream* os) {
    *os << c.szName;
}

class CRegFileFormatTest : public testing::TestWithParam<CFormatCase> {};

TEST_P(CRegFileFormatTest, ChoosesTheFormAndRoundTrips) {
    const CFormatCase& c = GetParam();
    CRegTree tree;
    bool bAdded = false;
    const std::vector<std::string> path{"Software", "x"};
    tree.Create(HKEY_LOCAL_MACHINE, path, bAdded)->SetValue("v", {c.dwType, Bytes(c.data)});

    const std::string text = CRegFile::Format(tree);
    EXPECT_NE(text.find("\n" + std::string(c.line) + "\n"), std::string::npos) << text;
    ExpectRoundTrip(tree);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CRegFileFormatTest,
    testing::Values(
        CFormatCase{"Dword", REG_DWORD, "\x14\0\0\0"s, "\"v\"=dword:00000014"},
        CFormatCase{"DwordOfThreeBytes", REG_DWORD, "\1\2\3", "\"v\"=hex(4):01,02,03"},
        CFormatCase{"String", REG_SZ, "a \\ \" b\0"s, "\"v\"=\"a \\\\ \\\" b\""},
        CFormatCase{"Utf8String", REG_SZ, "gr\xc3\xbc\xc3\x9f \xf0\x9f\x98\x80\0"s,
                    "\"v\"=\"gr\xc3\xbc\xc3\x9f \xf0\x9f\x98\x80\""},
        CFormatCase{"EmptyString", REG_SZ, "\0"s, "\"v\"=\"\""},
        CFormatCase{"StringWithoutTerminator", REG_SZ, "ab", "\"v\"=hex(1):61,62"},
        CFormatCase{"StringOfNoBytes", REG_SZ, "", "\"v\"=hex(1):"},
        CFormatCase{"StringWithInnerZero", REG_SZ, "a\0b\0"s, "\"v\"=hex(1):61,00,62,00"},
        CFormatCase{"StringWithTwoTerminators", REG_SZ, "a\0\0"s, "\"v\"=hex(1):61,00,00"},
        CFormatCase{"StringWithLineBreak", REG_SZ, "a\r\nb\0"s, "\"v\"=hex(1):61,0d,0a,62,00"},
        CFormatCase{"StringWithTab", REG_SZ, "a\tb\0"s, "\"v\"=hex(1):61,09,62,00"},
        CFormatCase{"StringWithDelete", REG_SZ, "\x7f\0"s, "\"v\"=hex(1):7f,00"},
        CFormatCase{"StringNotUtf8", REG_SZ, "\xc3\0"s, "\"v\"=hex(1):c3,00"},
        CFormatCase{"StringWithSurrogate", REG_SZ, "\xed\xa0\x80\0"s, "\"v\"=hex(1):ed,a0,80,00"},
        CFormatCase{"StringOverlong", REG_SZ, "\xc0\xaf\0"s, "\"v\"=hex(1):c0,af,00"},
        CFormatCase{"Binary", REG_BINARY, "\0\xff"s, "\"v\"=hex:00,ff"},
        CFormatCase{"EmptyBinary", REG_BINARY, "", "\"v\"=hex:"},
        CFormatCase{"ExpandString", REG_EXPAND_SZ, "%\0"s, "\"v\"=hex(2):25,00"},
        CFormatCase{"MultiString", REG_MULTI_SZ, "a\0\0"s, "\"v\"=hex(7):61,00,00"},
        CFormatCase{"None", REG_NONE, "", "\"v\"=hex(0):"},
        CFormatCase{"Qword", REG_QWORD, "\1\0\0\0\0\0\0\0"s,
                    "\"v\"=hex(b):01,00,00,00,00,00,00,00"},
        CFormatCase{"OddType", 0x12345678, "\1", "\"v\"=hex(12345678):01"}),
    [](const auto& info) { return std::string(info.param.szName); });

// ---------------------------------------------------------------------------------------

TEST(CRegFileTest, EmptyTreeIsTheHeaderAlone) {
    EXPECT_EQ(CRegFile::Format(CRegTree()), "REGEDIT4\n\n");
    for (const std::string_view text : {""sv, "\xEF\xBB\xBF"sv, "REGEDIT4"sv, "REGEDIT4\r\n"sv}) {
        const std::optional<CRegTree> tree = CRegFile::Parse(text);
        ASSERT_TRUE(tree) << text;
        EXPECT_TRUE(*tree == CRegTree());
        EXPECT_NE(FindKey(*tree, "Software"), nullptr);
    }
}

TEST(CRegFileTest, LongByteListsWrapAndComeBack) {
    CRegTree tree;
    bool bAdded = false;
    std::vector<std::uint8_t> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    const std::vector<std::string> path{"Software", "x"};
    CRegKeyNode* pKey = tree.Create(HKEY_LOCAL_MACHINE, path, bAdded);
    pKey->SetValue("list", {REG_MULTI_SZ, data});
    pKey->SetValue(std::string(60, 'n'), {REG_BINARY, data});

    const std::string text = CRegFile::Format(tree);
    std::size_t continued = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line(text.data() + start, end - start);
        EXPECT_LE(line.size(), 80U) << line;
        continued += line.ends_with('\\') ? 1 : 0;
    }
    EXPECT_GT(continued, 2 * data.size() / 26);
    ExpectRoundTrip(tree);
}

TEST(CRegFileTest, KeysWithoutValuesSurviveOnlyWhereNeeded) {
    CRegTree tree;
    bool bAdded = false;
    tree.Create(HKEY_CURRENT_USER, std::vector<std::string>{"empty"}, bAdded);
    tree.Create(HKEY_LOCAL_MACHINE, std::vector<std::string>{"Software", "a", "b", "leaf"}, bAdded);
    EXPECT_EQ(CRegFile::Format(tree),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\empty]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\a\\b\\leaf]\n\n");
    ExpectRoundTrip(tree);
}

TEST(CRegFileTest, NamesWithAwkwardBytesRoundTrip) {
    CRegTree tree;
    bool bAdded = false;
    const std::vector<std::string> path{"Software", " spaced ", "br]ack[et]", "\x01\xff\t;"};
    CRegKeyNode* pKey = tree.Create(HKEY_LOCAL_MACHINE, path, bAdded);
    pKey->SetValue("\"quoted\" \\ back\tslash\x01\xfe", {REG_DWORD, Bytes("\1\0\0\0"s)});
    pKey->SetValue("@", {REG_DWORD, Bytes("\2\0\0\0"s)});
    pKey->SetValue("", {REG_DWORD, Bytes("\3\0\0\0"s)});
    ExpectRoundTrip(tree);
}

TEST(CRegFileTest, DepthIsBounded) {
    std::string path = "HKEY_LOCAL_MACHINE";
    for (std::size_t i = 0; i < CRegTree::MAX_KEY_DEPTH; ++i) {
        path += "\\k";
    }
    const std::optional<CRegTree> deepest = CRegFile::Parse("REGEDIT4\n[" + path + "]\n");
    ASSERT_TRUE(deepest);
    ExpectRoundTrip(*deepest);
    std::vector<CRegFile::CSkipped> skipped;
    EXPECT_TRUE(*CRegFile::Parse("REGEDIT4\n[" + path + "\\k]\n", &skipped) == CRegTree());
    EXPECT_EQ(skipped.size(), 1U);
}

}  // namespace
