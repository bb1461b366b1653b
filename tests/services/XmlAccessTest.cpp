#include "services/XmlAccess.h"
#include "support/CaseName.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
class XmlFiles : public ::testing::Test
{
protected:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

const QByteArray kUnit =
    "<?xml version=\"1.0\" encoding=\"GB2312\"?>"
    "<CorpInfo><Basic><CorpID> U01 </CorpID><Name>\xb5\xa5\xce\xbb</Name></Basic>"
    "<ReportInfo><ReportUser>\xd6\xec\xe9\x46\xbb\xf9 \x88\xd2\x86\xb4</ReportUser></ReportInfo>"
    "</CorpInfo>";
} // namespace

TEST_F(XmlFiles, DecodesGbkOnlyCharactersInFilesDeclaredGb2312)
{
    XmlDocument doc = LoadXmlFile(Write(QStringLiteral("a.dw"), kUnit));
    ASSERT_EQ(GetXmlError(), QString());
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//CorpInfo/Basic/Name")), QStringLiteral("单位"));
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//CorpInfo/ReportInfo/ReportUser")),
              QStringLiteral("朱镕基 堃喆"));
}

TEST_F(XmlFiles, LoadErrorsGiveTheExactMessages)
{
    LoadXmlFile(QString());
    EXPECT_EQ(GetXmlError(), QStringLiteral("无效文件名"));

    const QString missing = dir.path() + QStringLiteral("/in/a.dw");
    LoadXmlFile(missing);
    EXPECT_EQ(GetXmlError(), QStringLiteral("无法打开指定文件") + missing + QStringLiteral("\n文件不存在"));

    const QString broken = Write(QStringLiteral("b.dw"), "<CorpInfo><Basic></CorpInfo>");
    LoadXmlFile(broken);
    EXPECT_EQ(GetXmlError(),
              QStringLiteral("无法打开指定文件") + broken +
                  QStringLiteral(
                      "\n格式不正确: 第1行第29列: 结束标签 </CorpInfo> 与第1行的开始标签 <Basic> 不匹配"));

    const QString empty = Write(QStringLiteral("c.dw"), "");
    LoadXmlFile(empty);
    EXPECT_EQ(GetXmlError(),
              QStringLiteral("无法打开指定文件") + empty + QStringLiteral("\n文件为空或没有根元素"));

    LoadXmlFile(Write(QStringLiteral("d.dw"), kUnit));
    EXPECT_EQ(GetXmlError(), QString());
}

// The reason a file is refused, in Chinese, with the line and column where the parser stopped.
struct RefusalCase
{
    const char* name;
    QByteArray bytes;
    const char* reason; // the whole second line; "" when the file is accepted
    friend void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }
};

class LoadRefusals : public XmlFiles, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(LoadRefusals, SayWhyInChinese)
{
    const QString path = Write(QStringLiteral("r.dw"), GetParam().bytes);
    QElapsedTimer timer;
    timer.start();
    const XmlDocument doc = LoadXmlFile(path);
    EXPECT_LT(timer.elapsed(), 2000);
    const QString reason = QString::fromUtf8(GetParam().reason);
    const QString expected =
        reason.isEmpty() ? QString() : QStringLiteral("无法打开指定文件") + path + QLatin1Char('\n') + reason;
    EXPECT_EQ(GetXmlError().toStdString(), expected.toStdString());
    EXPECT_EQ(doc.IsLoaded(), reason.isEmpty());
}

QByteArray Attributes(int count)
{
    QByteArray text = "<R><A";
    for (int i = 0; i < count; ++i)
        text += " a" + QByteArray::number(i) + "='>'";
    return text + "/></R>";
}

// Elements in elements, each declaring namespaces; the parser looks up every prefix among all.
QByteArray NestedNamespaces(int depth, int each)
{
    QByteArray text;
    for (int level = 0; level < depth; ++level)
    {
        text += "<e";
        for (int i = 0; i < each; ++i)
            text += " xmlns:p" + QByteArray::number(level) + "n" + QByteArray::number(i) + "='u:x'";
        text += ">";
    }
    for (int level = 0; level < depth; ++level)
        text += "</e>";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    XmlAccess, LoadRefusals,
    ::testing::Values(
        RefusalCase{"PrematureEnd", "<R>\n<SalvageItem>",
                    "格式不正确: 第2行第14列: 文件不完整，元素 <SalvageItem> (第2行) 没有结束"},
        RefusalCase{"MismatchedTag", "<R><B></R>",
                    "格式不正确: 第1行第11列: 结束标签 </R> 与第1行的开始标签 <B> 不匹配"},
        RefusalCase{"InvalidCharacter", "<R>\x01</R>",
                    "编码错误: 第1行第4列: 含有无效字符，或字节不符合文件声明的编码"},
        RefusalCase{"BytesNotOfTheEncoding", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><R>\xff\xfe</R>",
                    "编码错误: 第1行第42列: 含有无效字符，或字节不符合文件声明的编码"},
        RefusalCase{"BytesNotOfGb2312",
                    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<R>\n <A>\xb5\xa5\xff\xff</A></R>",
                    "编码错误: 第3行第7列: 含有无效字符，或字节不符合文件声明的编码"},
        RefusalCase{"TwoRoots", "<R/><S/>",
                    "格式不正确: 第1行第5列: 根元素之后还有内容 (一个文件只能有一个根元素)"},
        RefusalCase{"NotXml", "PK\x03\x04", "格式不正确: 第1行第1列: 不是 XML 文件 (找不到开始标签 \"<\")"},
        RefusalCase{"UnsupportedEncoding", "<?xml version=\"1.0\" encoding=\"X-NONE\"?><R/>",
                    "未知的编码: 第1行第38列: 不支持编码 X-NONE"},
        RefusalCase{"OtherErrorsKeepTheParsersText", "<R><!DOCTYPE R></R>",
                    "格式不正确: 第1行第5列: (libxml2 错误 68) StartTag: invalid element name"},
        // The words alone declare nothing; only the DOCTYPE's internal subset can.
        RefusalCase{"EntityWordsInAComment", "<R><!-- <!ENTITY x \"y\"> --><A>1</A></R>", ""},
        RefusalCase{"EntityWordsInCdata", "<R><A><![CDATA[<!ENTITY x \"y\">]]></A></R>", ""},
        RefusalCase{"EntityWordsInText", "<R><A>&lt;!ENTITY</A><B a='&lt;!ENTITY'/></R>", ""},
        RefusalCase{
            "EntityWordsInACommentOfTheSubset",
            "<!DOCTYPE R [<!-- <!ENTITY x \"y\"> --><?note <!ENTITY ?><!ATTLIST R a CDATA \"]>\">]><R/>", ""},
        RefusalCase{"EntityDeclaredAfterAComment", "<!DOCTYPE R [<!-- --><!ENTITY x \"y\">]><R/>",
                    "文件声明了实体 (DTD ENTITY)，不予读取"},
        RefusalCase{"ParameterEntity", "<!DOCTYPE R SYSTEM \"r.dtd\" [ <!ENTITY % p \"\">]><R/>",
                    "文件声明了实体 (DTD ENTITY)，不予读取"},
        RefusalCase{"DocumentOverTheMemoryLimit", "<R>" + QByteArray("<a/>").repeated(1300000) + "</R>",
                    "文件过大 (读入需约 263 MB 内存，超过 256 MB 的上限)"},
        // Report files carry none; a few are read, many would hold the parser for minutes.
        RefusalCase{"SixtyFourAttributes", Attributes(64), ""},
        RefusalCase{"SixtyFiveAttributes", Attributes(65), "元素的属性过多 (超过 64 个)"},
        RefusalCase{"SixtyFourNamespaces", NestedNamespaces(4, 16), ""},
        RefusalCase{"SixtyFiveNamespaces", NestedNamespaces(5, 13), "命名空间声明过多 (超过 64 个)"},
        // An error ends the parse, so that what follows it is never parsed unchecked.
        RefusalCase{"ManyAttributesAfterABrokenComment", "<R><!-- \x01 " + Attributes(200000) + " --></R>",
                    "编码错误: 第1行第9列: 含有无效字符，或字节不符合文件声明的编码"}),
    CaseName<RefusalCase>);

TEST_F(XmlFiles, ExternalEntitiesAreNotFetched)
{
    const QString secret = Write(QStringLiteral("secret.txt"), "TOPSECRET");
    const QByteArray xxe = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" +
                           secret.toUtf8() + "\">]><CorpInfo><Basic><Name>&x;</Name></Basic></CorpInfo>";
    XmlDocument doc = LoadXmlFile(Write(QStringLiteral("x.dw"), xxe));
    EXPECT_FALSE(
        GetNodeText(doc.Root(), QStringLiteral("//CorpInfo/Basic/Name")).contains(QStringLiteral("TOP")));
}

struct NodeTextCase
{
    const char* name;
    const char* xml;
    const char* xpath;
    const char* expected;
    friend void PrintTo(const NodeTextCase& c, std::ostream* out) { *out << c.name; }
};

class NodeText : public ::testing::TestWithParam<NodeTextCase>
{
};

TEST_P(NodeText, ReadsTrimmedTextOfFirstMatch)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText(QByteArray(GetParam().xml)));
    EXPECT_EQ(GetNodeText(doc.Root(), QString::fromUtf8(GetParam().xpath)),
              QString::fromUtf8(GetParam().expected));
}

// Texts looked up ahead (on a loading thread) must read exactly as those looked up when asked.
TEST_P(NodeText, ReadsTheSameWhenPreparedAhead)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText(QByteArray(GetParam().xml)));
    const QString xpath = QString::fromUtf8(GetParam().xpath);
    doc.PrepareTexts({xpath});
    EXPECT_EQ(GetNodeText(doc.Root(), xpath), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    XmlAccess, NodeText,
    ::testing::Values(
        NodeTextCase{"PlainPath", "<R><A><B>x</B></A></R>", "//R/A/B", "x"},
        NodeTextCase{"SpacesReadEmpty", "<R><A><B>   </B></A></R>", "//R/A/B", ""},
        NodeTextCase{"MissingElement", "<R><A/></R>", "//R/A/B", ""},
        NodeTextCase{"FirstOfSeveral", "<R><A><B>first</B><B>second</B></A><A><B>third</B></A></R>",
                     "//R/A/B", "first"},
        // The first B in document order is the one under the second A: ancestry is checked per candidate.
        NodeTextCase{"AncestryCheckedPerCandidate", "<R><X><B>no</B></X><A><B>yes</B></A></R>", "//R/A/B",
                     "yes"},
        NodeTextCase{"OneOfManyLeavesOfTheSameName",
                     "<R><D><P><T>1</T></P><Q><T>2</T></Q><S><T>3</T></S></D></R>", "//R/D/S/T", "3"},
        NodeTextCase{"StepNamedNowhere", "<R><A><B>x</B></A></R>", "//R/Z/B", ""},
        NodeTextCase{"ChildTextsJoined", "<R><A><B><C> one </C><C>two </C></B></A></R>", "//R/A/B",
                     "one two"},
        NodeTextCase{"PrettyPrinted", "<R>\n  <A>\n    <B>\n      12.5\n    </B>\n  </A>\n</R>", "//R/A/B",
                     "12.5"},
        NodeTextCase{"DeeperRoot", "<Outer><R><A><B>deep</B></A></R></Outer>", "//R/A/B", "deep"},
        NodeTextCase{"ShortPath", "<R><A><B>x</B></A></R>", "//A", "x"},
        NodeTextCase{"NamespacedIsNoMatch", "<R xmlns=\"urn:x\"><A><B>x</B></A></R>", "//R/A/B", ""},
        // Paths outside the plain form go through XPath itself.
        NodeTextCase{"PositionalPredicate", "<R><A k=\"v\"><B>1</B></A><A><B>2</B></A></R>", "//A[2]/B", "2"},
        NodeTextCase{"Attribute", "<R><A k=\"v\"><B>1</B></A></R>", "//A/@k", "v"},
        NodeTextCase{"BrokenXPath", "<R><A><B>1</B></A></R>", "//A[", ""}),
    CaseName<NodeTextCase>);

TEST(XmlAccess, SetNodeTextReplacesTrimmedAndIgnoresMissingNodes)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText("<Config><ImportPath><Old>x</Old></ImportPath><LocalPath/></Config>"));
    SetNodeText(doc.Root(), QStringLiteral("//Config/ImportPath"), QStringLiteral("  /out/ & <a> "));
    SetNodeText(doc.Root(), QStringLiteral("//Config/Missing"), QStringLiteral("x"));
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//Config/ImportPath")), QStringLiteral("/out/ & <a>"));
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//Config/ImportPath/Old")), QString());
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//Config/Missing")), QString());
}

TEST_F(XmlFiles, SaveErrorsGiveTheExactMessages)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText("<Config/>"));
    EXPECT_FALSE(SaveXmlFile(doc, QString()));
    EXPECT_EQ(GetXmlError(), QStringLiteral("未指定待保存得文件名"));

    const QString target = dir.path() + QStringLiteral("/missing/c.pz");
    EXPECT_FALSE(SaveXmlFile(doc, target));
    EXPECT_TRUE(
        GetXmlError().startsWith(QStringLiteral("无法保存指定文件") + target + QStringLiteral("\\n")));

    EXPECT_TRUE(SaveXmlFile(doc, dir.path() + QStringLiteral("/c.pz")));
    EXPECT_EQ(GetXmlError(), QString());
}

TEST(XmlAccess, PreparedTextsFollowEditsAndOtherPathsAreReadWhenAsked)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText("<R><A>old</A><B>b</B></R>"));
    doc.PrepareTexts({QStringLiteral("//R/A")});
    SetNodeText(doc.Root(), QStringLiteral("//R/A"), QStringLiteral("new"));
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//R/A")), QStringLiteral("new"));
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("//R/B")), QStringLiteral("b"));
    EXPECT_EQ(GetNodeText(doc.Root(), QStringLiteral("B")), QStringLiteral("b"));
}
