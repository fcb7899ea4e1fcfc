#include <gtest/gtest.h>

#include <string>

#include "handler/command_verbs.h"
#include "handler/file_type_filter.h"
#include "handler/ordinal_table.h"

namespace nivra {
namespace {

bool Supported(const std::u16string& path) {
    return IsSupportedFile(path.data(), path.size());
}

TEST(FileTypeFilter, TheTablesAreStrictlyAscendingInOrdinalOrder) {
    for (std::size_t i = 1; i < kSupportedExtensionCount; ++i) {
        EXPECT_LT(CompareOrdinal(g_supportedExtensions[i - 1], g_supportedExtensions[i]), 0) << i;
    }
    EXPECT_EQ(std::u16string(g_commandVerbs[0]), u"adoc");
}

TEST(FileTypeFilter, EveryTableEntryIsFoundInAnyAsciiCase) {
    for (const char16_t* entry : g_supportedExtensions) {
        std::u16string upper = std::u16string(u"C:\\docs\\file.") + entry;
        std::u16string lower = upper;
        for (auto& c : lower)
            c = (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
        EXPECT_TRUE(Supported(upper)) << std::string(upper.begin(), upper.end());
        EXPECT_TRUE(Supported(lower)) << std::string(lower.begin(), lower.end());
    }
    EXPECT_TRUE(Supported(u"C:\\docs\\REPORT.Pdf"));
    EXPECT_TRUE(Supported(u"C:\\docs\\report.pDF"));
}

TEST(FileTypeFilter, NeighboursOfEntriesAreNotSupported) {
    EXPECT_FALSE(Supported(u"C:\\docs\\photo.jpe"));
    EXPECT_FALSE(Supported(u"C:\\docs\\photo.jp"));
    EXPECT_FALSE(Supported(u"C:\\docs\\photo.tiffx"));
    EXPECT_FALSE(Supported(u"C:\\docs\\a.A"));
    EXPECT_FALSE(Supported(u"C:\\docs\\a.ZZZZ"));
    EXPECT_FALSE(Supported(u"C:\\docs\\a.DOC"));
    EXPECT_FALSE(Supported(u"C:\\docs\\contract.adoc"));
}

TEST(FileTypeFilter, OnlyTheLastDotOfTheWholePathCounts) {
    EXPECT_TRUE(Supported(u"C:\\docs\\archive.tar.pdf"));
    EXPECT_FALSE(Supported(u"C:\\docs\\report.pdf.bak"));
    EXPECT_FALSE(Supported(u"C:\\my.docs\\README"));
    EXPECT_FALSE(Supported(u"C:\\my.pdf\\README"));
    EXPECT_FALSE(Supported(u"C:\\docs\\file."));
    EXPECT_FALSE(Supported(u"C:\\docs\\README"));
    EXPECT_FALSE(Supported(u""));
    EXPECT_FALSE(Supported(u".pdf"));
    EXPECT_TRUE(Supported(u"a.pdf"));
}

TEST(FileTypeFilter, OnlyAsciiLettersAreFoldedAndOtherUnitsMatchExactly) {
    // U+0131 (dotless i) and the fullwidth letters must not fold to ASCII.
    EXPECT_FALSE(Supported(u"C:\\x.t\u0131f"));
    EXPECT_FALSE(Supported(u"C:\\x.\uFF30\uFF24\uFF26"));
    EXPECT_FALSE(Supported(std::u16string(u"C:\\x.pd\0f", 9)));
    EXPECT_FALSE(
        Supported(u"C:\\x.p\xDC00"
                  u"f"));
}

TEST(CommandVerbs, OnlyTheExactLowerCaseVerbIsFound) {
    EXPECT_EQ(FindCommandVerb(u"adoc", 4), 0);
    EXPECT_EQ(FindCommandVerb(u"ADOC", 4), -1);
    EXPECT_EQ(FindCommandVerb(u"Adoc", 4), -1);
    EXPECT_EQ(FindCommandVerb(u"adoc ", 5), -1);
    EXPECT_EQ(FindCommandVerb(u"adocx", 5), -1);
    EXPECT_EQ(FindCommandVerb(u"ado", 3), -1);
    EXPECT_EQ(FindCommandVerb(u"", 0), -1);
}

TEST(OrdinalTable, UnitsCompareAsUnsignedNumbersAndPrefixesSortFirst) {
    EXPECT_LT(CompareOrdinal(u"JPEG", u"JPG"), 0);
    EXPECT_LT(CompareOrdinal(u"TIF", u"TIFF"), 0);
    EXPECT_GT(CompareOrdinal(u"\xFFFF", u"A"), 0);
    EXPECT_EQ(CompareOrdinal(u"", u""), 0);
    const char16_t* const table[] = {u"a", u"b", u"c", u"d", u"e"};
    for (std::ptrdiff_t i = 0; i < 5; ++i)
        EXPECT_EQ(FindOrdinal(table, 5, table[i], 1), i);
    EXPECT_EQ(FindOrdinal(table, 5, u"f", 1), -1);
    EXPECT_EQ(FindOrdinal(table, 0, u"a", 1), -1);
}

}  // namespace
}  // namespace nivra
