#include "manifest/QVXMLParser.h"

#include <gtest/gtest.h>

namespace {

struct TagCase {
    std::string document;
    std::string tag;
    int result;
    std::string value;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.document; }

class GetTagValueTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(GetTagValueTest, Extracts) {
    CQVXMLParser parser;
    parser.m_strXML = GetParam().document;
    std::string value = "left over";
    EXPECT_EQ(parser.GetTagValue(GetParam().tag, value, 0), GetParam().result);
    EXPECT_EQ(value, GetParam().value);
    EXPECT_EQ(parser.m_strXML, GetParam().document);  // the document is never changed
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetTagValueTest,
    ::testing::Values(
        TagCase{"<A>x</A>", "A", 1, "x"},
        TagCase{"<A></A>", "A", 1, ""},
        TagCase{"<A> x </A>", "A", 1, " x "},
        TagCase{"<name>x</name>", "NAME", 0, ""},
        TagCase{"<A lang=ko>x</A>", "A", 1, "x"},
        TagCase{"<AB>p</AB><A>q</A>", "A", 1, "p</AB><A>q"},
        TagCase{"<A><A>x</A></A>", "A", 1, "<A>x"},
        TagCase{"<A x</A>", "A", 0, ""},
        TagCase{"</A><A>x", "A", 0, ""},
        TagCase{"</A><A>x</A>", "A", 1, "x"},
        TagCase{"<A>x</A >", "A", 0, ""},
        TagCase{"<A>1</A><A>2</A>", "A", 1, "1"},
        TagCase{"<A>1 &lt; 2</A>", "A", 1, "1 < 2"},
        TagCase{"<A>&lt;&gt;&amp;&quot;</A>", "A", 1, "<>&\""},
        TagCase{"<A>a&amp;lt;b</A>", "A", 1, "a&lt;b"},
        TagCase{"<A>a&amp;quot;b</A>", "A", 1, "a\"b"},
        TagCase{"<A>a&amp;amp;b</A>", "A", 1, "a&amp;b"},
        TagCase{"<A>&lt;lt;</A>", "A", 1, "<lt;"},
        TagCase{"<A>&&amp;&</A>", "A", 1, "&&&"},
        TagCase{"<A>\xB0\xA1&amp;\xB3\xAA</A>", "A", 1, "\xB0\xA1&\xB3\xAA"},
        TagCase{"", "A", 0, ""},
        TagCase{"<UPDATE>\n<X>1</X>\n</UPDATE>", "UPDATE", 1, "\n<X>1</X>\n"}));

TEST(ReplaceCharsTest, ReplacesEachListedByteOnlyWhenAsked) {
    CQVXMLParser parser;
    parser.m_strXML = "<A>a-b_c</A>";
    parser.m_strReplaceChars = "-_";
    parser.m_strReplace = "..";
    std::string value;
    parser.GetTagValue("A", value, 0);
    EXPECT_EQ(value, "a-b_c");
    parser.GetTagValue("A", value, 2);
    EXPECT_EQ(value, "a-b_c");
    parser.GetTagValue("A", value, 1);
    EXPECT_EQ(value, "a..b..c");
}

}  // namespace
