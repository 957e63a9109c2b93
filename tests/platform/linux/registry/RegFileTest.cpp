#include "platform/linux/registry/RegFile.h"

#include <sstream>

#include <gtest/gtest.h>

#include "support/TextFile.h"

using namespace std::string_literals;
using namespace std::string_view_literals;
using CSkipped = CRegFile::CSkipped;

// The fuzz target: aborts when what it reads does not come back whole from its own text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

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

std::string Section(std::string_view lines) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\x]\n" + std::string(lines);
}

// Text that parses though Format never writes it so, and the value it must yield.
TEST(RegFile, ReadsWhatPeopleWriteByHand) {
    const struct {
        std::string text;
        std::string_view key;
        std::string_view name;
        DWORD dwType;
        std::string data;
    } cases[] = {
        {Section("\"n\"=DWORD:BeeF\n"), "Software\\x", "n", REG_DWORD, "\xef\xbe\0\0"s},
        {Section("\"s\"=\"a\tb\"\n"), "Software\\x", "s", REG_SZ, "a\tb\0"s},
        {Section("\"b\" = hex: 1 ,a,\tFF \n"), "Software\\x", "b", REG_BINARY, "\x01\x0a\xff"s},
        {Section("\"t\"=hex(FFFFFFFF):01\n"), "Software\\x", "t", 0xFFFFFFFF, "\1"},
        {Section("@=\"default\"\n"), "Software\\x", "", REG_SZ, "default\0"s},
        {Section("\"\"=dword:00000001\n"), "Software\\x", "", REG_DWORD, "\1\0\0\0"s},
        {Section("\"b\"=hex:01,02,\\\n    03,\\\n\t04\n\"after\"=dword:00000009\n"), "Software\\x",
         "b", REG_BINARY, "\1\2\3\4"},
        {Section("\"b\"=hex(7):\\\n  61,00\n"), "Software\\x", "b", REG_MULTI_SZ, "a\0"s},
        {"\xEF\xBB\xBFREGEDIT4\r\n\r\n; note\r\n  [HKEY_LOCAL_MACHINE\\Software\\x]  \r\n"
         "  ; more\r\n\t\"v\"=dword:00000003\r\n",
         "Software\\x", "v", REG_DWORD, "\3\0\0\0"s},
        {"REGEDIT4\n[hkey_local_machine\\SOFTWARE\\Hollin]\n\"Speed\"=dword:00000001\n",
         "software\\HOLLIN", "SPEED", REG_DWORD, "\1\0\0\0"s},
        {Section("\"v\"=dword:00000001\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"V\"=\"two\"\n"),
         "Software\\x", "v", REG_SZ, "two\0"s},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE]\n\"r\"=dword:00000001\n", "", "r", REG_DWORD, "\1\0\0\0"s},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\ a ] b ]]\n\"v\"=hex:05\n", " a ] b ]", "v", REG_BINARY,
         "\5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<CRegTree> tree = CRegFile::Parse(c.text);
        ASSERT_TRUE(tree);
        const CRegKeyNode* pKey = FindKey(*tree, c.key);
        ASSERT_NE(pKey, nullptr);
        const CRegValue* pValue = pKey->FindValue(c.name);
        ASSERT_NE(pValue, nullptr);
        EXPECT_EQ(*pValue, (CRegValue{c.dwType, Bytes(c.data)}));
    }
}

// Unreadable lines are left out and reported, continuations whole; the lines around count.
TEST(RegFile, LeavesOutOnlyTheLinesItReports) {
    const std::pair<std::string, std::vector<CSkipped>> cases[] = {
        {"[HKEY_LOCAL_MACHINE\\Software\\new\\\\z]\n\"v\"=dword:00000001\n\n@=\"d\"\n",
         {{5, 1}, {6, 1}, {8, 1}}},
        {"[HKEY_LOCAL_MACHINE\\Software\n", {{5, 1}}},
        {"[HKEY_LOCAL_MACHINE\\Software] x\n", {{5, 1}}},
        {"[HKEY_LOCAL_MACHINE\\a\0b]\n"s, {{5, 1}}},
        {"speed=1\n", {{5, 1}}},
        {"\"v\"=hex:100\n", {{5, 1}}},
        {"\"v\"=hex:01,\n", {{5, 1}}},
        {"\"v\"=hex:01,\\\n  0g,\\\n  02\n", {{5, 3}}},
        {"\"v\"=hex:01,\\\n\"w\"=dword:00000003\n", {{5, 1}}},
        {"\"v\"=hex:01,\\\n; x\n  02\n", {{5, 1}, {7, 1}}},
        {"\"v\"=dword:000000001\n", {{5, 1}}},
        {"\"v\"=dword:-1\n", {{5, 1}}},
        {"\"v\"=hex(100000000):01\n", {{5, 1}}},
        {"\"v\"=\"a\\nb\"\n", {{5, 1}}},
        {"\"v\"=\"abc\n", {{5, 1}}},
        {"\"v\"=\"a\" ; note\n", {{5, 1}}},
        {"\"v=dword:00000001\n", {{5, 1}}},
        {"\"v\" dword:00000001\n", {{5, 1}}},
        {"\"v\"\n@\n", {{5, 1}, {6, 1}}},
        {"\"v\"=\n", {{5, 1}}},
        {"\"v\"=\"a\rb\"\n", {{5, 1}}},
        {"\"v\r=dword:00000001\n", {{5, 1}}},
        {"\"v\0=dword:00000001\n"s, {{5, 1}}},
        {"\"a\0b\"=dword:00000001\n"s, {{5, 1}}}};
    for (const auto& [lines, expected] : cases) {
        SCOPED_TRACE(lines);
        const std::string text = Section("\"before\"=dword:00000001\n") + lines +
                                 "[HKEY_LOCAL_MACHINE\\Software\\y]\n\"after\"=dword:00000002\n";
        std::vector<CSkipped> skipped;
        const std::optional<CRegTree> tree = CRegFile::Parse(text, &skipped);
        ASSERT_TRUE(tree);
        EXPECT_EQ(skipped, expected);
        // Without the lines reported, the text reads the same (or the fuzz target aborts).
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        ASSERT_NE(FindKey(*tree, "Software\\y"), nullptr);
        EXPECT_NE(FindKey(*tree, "Software\\y")->FindValue("after"), nullptr);
    }
}

// The fuzz target aborts on a corpus file that does not come back whole from its own text;
// only bad-*.reg ones have lines left out. Byte lists wrap at 80 characters.
TEST(RegFile, FuzzCorpusComesBackFromItsText) {
    for (const auto& entry : std::filesystem::directory_iterator(QUELLIO_FUZZ_CORPUS)) {
        const std::string text = ReadTextFile(entry.path());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        std::vector<CSkipped> skipped;
        const std::optional<CRegTree> tree = CRegFile::Parse(text, &skipped);
        EXPECT_EQ(!tree || !skipped.empty(), entry.path().filename().string().starts_with("bad-"))
            << entry.path();
        std::istringstream lines(tree ? CRegFile::Format(*tree) : "");
        for (std::string line; std::getline(lines, line);) {
            if (line.find("=hex") != std::string::npos || line.starts_with(" ")) {
                EXPECT_LE(line.size(), 80U) << entry.path();
            }
        }
    }
}

TEST(RegFile, TextThatIsNotRegedit4IsRejectedWholeAndAnEmptyTreeIsTheHeaderAlone) {
    for (const std::string_view text :
         {"Windows Registry Editor Version 5.00\n\n"sv, "\nREGEDIT4\n"sv, "  \n"sv}) {
        EXPECT_FALSE(CRegFile::Parse(text)) << text;
    }
    EXPECT_EQ(CRegFile::Format(CRegTree()), "REGEDIT4\n\n");
    // Keys without values are written only where no deeper key holds them.
    const std::string keys =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\empty]\n\n[HKEY_LOCAL_MACHINE\\Software\\a\\leaf]\n\n";
    EXPECT_EQ(CRegFile::Format(*CRegFile::Parse(keys)), keys);
    for (const std::string_view text : {""sv, "\xEF\xBB\xBF"sv, "REGEDIT4"sv, "REGEDIT4\r\n"sv}) {
        const std::optional<CRegTree> tree = CRegFile::Parse(text);
        ASSERT_TRUE(tree) << text;
        EXPECT_TRUE(*tree == CRegTree());
        EXPECT_NE(FindKey(*tree, "Software"), nullptr);
    }
}

// A string only when printable strict UTF-8 with one final zero; else the bytes as they are.
TEST(RegFile, ChoosesTheFormOfEachValueAndReadsItBack) {
    const std::string utf8Edges =
        "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F"
        "\xBF\xBF";
    const struct {
        DWORD dwType;
        std::string data;
        std::string line;
    } cases[] = {{REG_DWORD, "\x14\0\0\0"s, "dword:00000014"},
                 {REG_DWORD, "\1\2\3", "hex(4):01,02,03"},
                 {REG_SZ, "a \\ \" b\0"s, R"("a \\ \" b")"},
                 {REG_SZ, utf8Edges + '\0', "\"" + utf8Edges + "\""},
                 {REG_SZ, "\0"s, "\"\""},
                 {REG_SZ, "ab", "hex(1):61,62"},
                 {REG_SZ, "", "hex(1):"},
                 {REG_SZ, "a\0b\0"s, "hex(1):61,00,62,00"},
                 {REG_SZ, "a\0\0"s, "hex(1):61,00,00"},
                 {REG_SZ, "a\r\nb\0"s, "hex(1):61,0d,0a,62,00"},
                 {REG_SZ, "a\tb\0"s, "hex(1):61,09,62,00"},
                 {REG_SZ, "\x7f\0"s, "hex(1):7f,00"},
                 {REG_SZ, "\xc3\0"s, "hex(1):c3,00"},
                 {REG_SZ, "\x80\0"s, "hex(1):80,00"},
                 {REG_SZ, "\xc1\xbf\0"s, "hex(1):c1,bf,00"},
                 {REG_SZ, "\xe0\x9f\xbf\0"s, "hex(1):e0,9f,bf,00"},
                 {REG_SZ, "\xed\xa0\x80\0"s, "hex(1):ed,a0,80,00"},
                 {REG_SZ, "\xf0\x8f\xbf\xbf\0"s, "hex(1):f0,8f,bf,bf,00"},
                 {REG_SZ, "\xf4\x90\x80\x80\0"s, "hex(1):f4,90,80,80,00"},
                 {REG_SZ, "\xf5\x80\x80\x80\0"s, "hex(1):f5,80,80,80,00"},
                 {REG_BINARY, "\0\xff"s, "hex:00,ff"},
                 {REG_BINARY, "", "hex:"},
                 {REG_EXPAND_SZ, "%\0"s, "hex(2):25,00"},
                 {REG_MULTI_SZ, "a\0\0"s, "hex(7):61,00,00"},
                 {REG_NONE, "", "hex(0):"},
                 {REG_QWORD, "\1\0\0\0\0\0\0\0"s, "hex(b):01,00,00,00,00,00,00,00"},
                 {0x12345678, "\1", "hex(12345678):01"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CRegTree tree;
        bool bAdded = false;
        tree.Create(HKEY_LOCAL_MACHINE, std::vector<std::string>{"Software", "x"}, bAdded)
            ->SetValue("v", {c.dwType, Bytes(c.data)});
        const std::string text = CRegFile::Format(tree);
        EXPECT_NE(text.find("\n\"v\"=" + c.line + "\n"), std::string::npos);
        std::vector<CSkipped> skipped;
        EXPECT_TRUE(CRegFile::Parse(text, &skipped) == tree);  // back whole, nothing left out
        EXPECT_TRUE(skipped.empty());
    }
}

}  // namespace
