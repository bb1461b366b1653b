#include "import/ImportUnitFiles.h"
#include "ImportFixture.h"
#include "UnitFileText.h"
#include "import/DocumentPrefetcher.h"
#include "services/CorvaneError.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <tuple>

namespace
{
// unprocessed: files a stopped batch never looked at.
QString Summary(int imported, int failed, int unprocessed = 0)
{
    const QString counts = QStringLiteral("导入单位信息:操作完成！\n倒入成功%1个文件\n倒入失败%2个文件")
                               .arg(imported)
                               .arg(failed);
    return unprocessed > 0 ? counts + QStringLiteral("\n未处理%1个文件").arg(unprocessed) : counts;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QStringList Split(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

class UnitBatch : public ImportFixture
{
protected:
    BatchCounts Import(const QStringList& names, const QString& folder = {})
    {
        return ImportUnitFiles(FileList{folder.isEmpty() ? temp.settings.ImportPath : folder, names},
                               temp.settings, sink);
    }
    // Imports a.dw with unit U1's complete file, then again with the changes.
    void ImportTwice(const UnitChanges& changes)
    {
        Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
        Import({QStringLiteral("a.dw")});
        Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1"), changes));
        Import({QStringLiteral("a.dw")});
    }
    // The columns of a unit's row as texts, "NULL" for NULL; empty when there is no row.
    QStringList Row(const QString& table, const QStringList& columns, const QString& corpId = "U1") const
    {
        auto db = temp.Open();
        QSqlQuery& query = db->Execute(
            QStringLiteral("select %1 from %2 where corpid = ?").arg(columns.join(QLatin1Char(',')), table),
            {corpId});
        QStringList values;
        if (query.next())
            for (qsizetype i = 0; i < columns.size(); ++i)
                values.append(query.value(int(i)).isNull() ? QStringLiteral("NULL")
                                                           : query.value(int(i)).toString());
        query.finish();
        return values;
    }
};

struct TableCase
{
    const char* name;
    QStringList columns;
    QStringList expected;
    friend void PrintTo(const TableCase& c, std::ostream* out) { *out << c.name; }
};

class UnitTables : public UnitBatch, public ::testing::WithParamInterface<TableCase>
{
};

TEST_P(UnitTables, EveryElementLandsInItsColumn)
{
    Write(QStringLiteral("U1.dw"), UnitFile(QStringLiteral("U1")));
    Import({QStringLiteral("U1.dw")});
    EXPECT_EQ(Row(QString::fromLatin1(GetParam().name), GetParam().columns), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ImportUnitFiles, UnitTables,
    ::testing::Values(
        TableCase{"dat_corp_info",
                  Split("name shortname areacode address postcode phoneno faxno email reportuser reportdate "
                        "type class risk"),
                  Split("华严寺文物保护管理所 华严寺 540100 文化路132号 850000 0891-2289763 0891-2842051 "
                        "hys@example.cn 李嘉 2006-04-02 20 12 10")},
        TableCase{
            "dat_corp_reserve",
            Split("depotarea totalitemnum totalnum1 goodnum1 slightdamagednum1 severedamagednum1 "
                  "funddemand1 totalnum2 goodnum2 slightdamagednum2 severedamagednum2 funddemand2 "
                  "totalnum3 goodnum3 slightdamagednum3 severedamagednum3 funddemand3 totalnum4 goodnum4 "
                  "slightdamagednum4 severedamagednum4 funddemand4 damagedesc"),
            Split("237.5 999 101 102 103 104 105.5 201 202 203 204 205.5 301 302 303 304 305.5 401 402 "
                  "403 404 405.5 铁器锈蚀")},
        TableCase{"dat_corp_security",
                  Split("corparea itemarea stolentimes stolenitemnum waterdevstatus alarmdevstatus "
                        "lightdevstatus securedevstatus storedevstatus"),
                  Split("1200.5 300.25 7 8 0 1 2 3 1")},
        TableCase{"dat_corp_construction",
                  Split("totalarea corearea relicage relictype fsdevstatus rpdevstatus"),
                  Split("5000 800 唐 古遗址 2 3")}),
    CaseName<TableCase>);

// The row is found by corpid through the unique index, or by a plain lookup when it is gone.
class UnitReimport : public UnitBatch, public ::testing::WithParamInterface<bool>
{
};

TEST_P(UnitReimport, UpdatesTheOneRowOfEachTable)
{
    if (!GetParam())
        temp.Open()->Execute(QStringLiteral("drop index ux_corp_info_corpid")).finish();
    ImportTwice({{"Basic/Name", "新名称"}});
    EXPECT_EQ(sink.messages, QStringList({Summary(1, 0), Summary(1, 0)}));
    for (const char* table :
         {"dat_corp_info", "dat_corp_reserve", "dat_corp_security", "dat_corp_construction"})
        EXPECT_EQ(Rows(QString::fromLatin1(table)), 1) << table;
    EXPECT_EQ(Row("dat_corp_info", {"name", "shortname"}), QStringList({"新名称", "华严寺"}));
}

INSTANTIATE_TEST_SUITE_P(ImportUnitFiles, UnitReimport, ::testing::Bool(),
                         [](const auto& index) { return index.param ? "UniqueIndex" : "NoIndex"; });

// A second file whose element is missing (null) or empty overwrites the first file's value.
struct ElementCase
{
    const char* name;
    const char* path; // an element or a whole group
    QString text;
    const char* table;
    const char* column;
    const char* stored;
    friend void PrintTo(const ElementCase& c, std::ostream* out) { *out << c.name; }
};

class ReimportedElement : public UnitBatch, public ::testing::WithParamInterface<ElementCase>
{
};

TEST_P(ReimportedElement, OverwritesTheEarlierValue)
{
    const ElementCase& c = GetParam();
    ImportTwice({{QString::fromLatin1(c.path), c.text}});
    EXPECT_EQ(sink.messages.last(), Summary(1, 0));
    EXPECT_EQ(Row(QString::fromLatin1(c.table), {QString::fromLatin1(c.column)}),
              QStringList{QString::fromUtf8(c.stored)});
}

INSTANTIATE_TEST_SUITE_P(
    ImportUnitFiles, ReimportedElement,
    ::testing::Values(ElementCase{"PaddedText", "Basic/Name", "  新名称\n ", "dat_corp_info", "name",
                                  "新名称"},
                      ElementCase{"EmptyText", "Basic/Email", "", "dat_corp_info", "email", ""},
                      ElementCase{"MissingText", "Basic/Address", QString(), "dat_corp_info", "address", ""},
                      ElementCase{"MissingNumber", "Reserve/TotalItemNum", QString(), "dat_corp_reserve",
                                  "totalitemnum", "NULL"},
                      ElementCase{"EmptyCode", "Security/StoreDeviceStatus", "", "dat_corp_security",
                                  "storedevstatus", "NULL"},
                      ElementCase{"MissingValuableRelics", "Reserve/ItemDetail/ValuableRelic", QString(),
                                  "dat_corp_reserve", "funddemand4", "NULL"},
                      ElementCase{"MissingLargeSite", "Construction/GreatSite", QString(),
                                  "dat_corp_construction", "totalarea", "NULL"}),
    CaseName<ElementCase>);

TEST_F(UnitBatch, NotWellFormedFileStopsTheBatch)
{
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("b.dw"), "<CorpInfo><Basic><CorpID>U2</CorpID></Basic>");
    Write(QStringLiteral("c.dw"), UnitFile(QStringLiteral("U3")));
    Import({QStringLiteral("a.dw"), QStringLiteral("b.dw"), QStringLiteral("c.dw")});
    ASSERT_EQ(sink.messages.size(), 2);
    EXPECT_TRUE(sink.messages[0].startsWith(QStringLiteral("无法打开指定文件") + In("b.dw") +
                                            QStringLiteral("\n格式不正确: ")));
    EXPECT_EQ(sink.messages[1], Summary(1, 0, 2));
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("a.dw"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("c.dw"))));
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")), 1);
}

TEST_F(UnitBatch, FileListedTwiceIsImportedOnce)
{
    // Files are read ahead of the import; the second entry must not meet the moved file.
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("b.dw"), UnitFile(QStringLiteral("U2")));
    Import({QStringLiteral("a.dw"), QStringLiteral("a.dw"), QStringLiteral("b.dw")});
    EXPECT_EQ(sink.messages, QStringList({Summary(2, 0)}));
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("b.dw"))));
}

TEST_F(UnitBatch, LongBatchImportsEveryFileInOrder)
{
    QStringList names;
    for (int i = 0; i < 60; ++i)
    {
        names.append(QStringLiteral("u%1.dw").arg(i, 3, 10, QLatin1Char('0')));
        Write(names.last(), UnitFile(QStringLiteral("U%1").arg(i)));
    }
    Write(QStringLiteral("zz.dw"), "<CorpInfo>");
    names.append(QStringLiteral("zz.dw"));
    EXPECT_EQ(Import(names).imported, 60);
    ASSERT_EQ(sink.messages.size(), 2);
    EXPECT_TRUE(sink.messages[0].startsWith(QStringLiteral("无法打开指定文件") + In("zz.dw") +
                                            QStringLiteral("\n格式不正确: ")));
    EXPECT_EQ(sink.messages[1], Summary(60, 0, 1));
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_security")), 60);
}

TEST_F(UnitBatch, FileWithoutCorpIdCountsAsFailedAndStays)
{
    Write(QStringLiteral("empty.dw"), UnitFile(QStringLiteral("")));
    Write(QStringLiteral("missing.dw"), UnitFile(QString()));
    Import({QStringLiteral("empty.dw"), QStringLiteral("missing.dw")});
    EXPECT_EQ(sink.messages, QStringList{Summary(0, 2)});
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("empty.dw"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("missing.dw"))));
    // The sections still ran, on the one row whose corpid is empty.
    EXPECT_EQ(Row("dat_corp_construction", {"totalarea"}, QStringLiteral("")), QStringList{"5000"});
}

TEST_F(UnitBatch, RefusedValueFailsTheFileButSavesTheOtherColumns)
{
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1"), {{"Reserve/TotalItemNum", "十二"}}));
    Import({QStringLiteral("a.dw")});
    ASSERT_EQ(sink.messages.size(), 2);
    EXPECT_EQ(sink.messages[0],
              QStringLiteral("导入单位U1信息失败:Reserve/TotalItemNum 的值 \"十二\" 不是整数"));
    EXPECT_EQ(sink.messages[1], Summary(0, 1));
    EXPECT_EQ(Row("dat_corp_reserve", {"depotarea", "totalitemnum", "damagedesc"}),
              QStringList({"237.5", "NULL", "铁器锈蚀"}));
    // The later sections are not run for a failed one, and the file stays.
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_security")), 0);
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("a.dw"))));
}

TEST_F(UnitBatch, CodesMissingFromTheDictionaryAreStoredAsRead)
{
    // The importers pass no default to a coded copy, so an unknown code is not replaced.
    Write(QStringLiteral("a.dw"),
          UnitFile(QStringLiteral("U1"),
                   {{"Basic/Type", "99"}, {"Security/FireProtect/AlarmDeviceStatus", "7"}}));
    Import({QStringLiteral("a.dw")});
    EXPECT_EQ(sink.messages, QStringList{Summary(1, 0)});
    EXPECT_EQ(Row("dat_corp_info", {"type"}), QStringList{"99"});
    EXPECT_EQ(Row("dat_corp_security", {"alarmdevstatus"}), QStringList{"7"});
}

TEST_F(UnitBatch, EmptyDictionaryFailsEachCodedCopyNamingTheTable)
{
    temp.Open()->Execute(QStringLiteral("delete from dic_device_status")).finish();
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
    Import({QStringLiteral("a.dw")});
    const QString failure = QStringLiteral("导入单位U1信息失败:字典表dic_device_status没有记录");
    EXPECT_EQ(sink.messages,
              QStringList({"no record", failure, failure, failure, failure, failure, Summary(0, 1)}));
    EXPECT_EQ(Row("dat_corp_security", {"corparea", "waterdevstatus"}), QStringList({"1200.5", "NULL"}));
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_construction")), 0);
}

TEST_F(UnitBatch, SectionWhoseRowCannotBeFoundFailsWithOneMessage)
{
    temp.Open()->Execute(QStringLiteral("drop table dat_corp_reserve")).finish();
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
    Import({QStringLiteral("a.dw")});
    EXPECT_EQ(sink.messages, QStringList({QStringLiteral("导入单位U1信息失败:数据库中没有表dat_corp_reserve"),
                                          Summary(0, 1)}));
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")), 1);
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_security")), 0);
}

TEST_F(UnitBatch, IdWithAnApostropheImportsLikeAnyOther)
{
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("O'Brien")));
    Import({QStringLiteral("a.dw")});
    EXPECT_EQ(sink.messages, QStringList{Summary(1, 0)});
    EXPECT_EQ(Row("dat_corp_construction", {"corpid"}, "O'Brien"), QStringList{"O'Brien"});
}

TEST_F(UnitBatch, Gb2312FileKeepsItsChineseTexts)
{
    // 文物镕 (镕 is GBK-only, its second byte is ASCII "F") and µ (four bytes in GB18030).
    Write(QStringLiteral("a.dw"),
          "<?xml version=\"1.0\" encoding=\"GB2312\"?><CorpInfo><Basic><CorpID>U1</CorpID>"
          "<Name>\xce\xc4\xce\xef\xe9\x46</Name><ShortName>\x81\x30\x85\x38</ShortName>"
          "</Basic></CorpInfo>");
    Import({QStringLiteral("a.dw")});
    EXPECT_EQ(Row("dat_corp_info", {"name", "shortname"}), QStringList({"文物镕", "µ"}));
}

TEST_F(UnitBatch, CompanionMovesWithItsFileAndReplacesOldCopies)
{
    Write(QStringLiteral("华严寺.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("华严寺.htm"), "new page");
    temp.WriteFile(Local(QStringLiteral("华严寺.dw")), "old file");
    temp.WriteFile(Local(QStringLiteral("华严寺.htm")), "old page");
    Write(QStringLiteral("U2"), UnitFile(QStringLiteral("U2")));
    Write(QStringLiteral("U2.htm"), "not a companion of a name without a dot");
    Import({QStringLiteral("华严寺.dw"), QStringLiteral("U2")});
    EXPECT_EQ(ReadAll(Local(QStringLiteral("华严寺.dw"))), UnitFile(QStringLiteral("U1")));
    EXPECT_EQ(ReadAll(Local(QStringLiteral("华严寺.htm"))), "new page");
    EXPECT_EQ(QDir(temp.settings.ImportPath).entryList(QDir::Files), QStringList{"U2.htm"});
}

// An import folder that is the save folder under another name moves nothing; one that differs
// only in letter case is another folder where the file system tells cases apart.
struct FolderCase
{
    const char* name;
    const char* folder; // relative to the temporary folder, where "local/" is the save folder
    bool moves;
    friend void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }
};

class ImportFolder : public UnitBatch, public ::testing::WithParamInterface<FolderCase>
{
};

TEST_P(ImportFolder, MovesFilesOnlyWhenItIsNotTheSaveFolder)
{
    ASSERT_TRUE(QFile::link(temp.settings.LocalPath, temp.Folder() + QStringLiteral("alias")));
    const QString folder = temp.Folder() + QLatin1String(GetParam().folder);
    temp.WriteFile(folder + QStringLiteral("/a.dw"), UnitFile(QStringLiteral("U1")));
    if (GetParam().moves &&
        QFileInfo(folder).canonicalFilePath() == QFileInfo(temp.settings.LocalPath).canonicalFilePath())
        GTEST_SKIP() << "this file system ignores letter case";
    Import({QStringLiteral("a.dw")}, folder);
    EXPECT_EQ(sink.messages, QStringList{Summary(1, 0)});
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("a.dw"))));
    EXPECT_EQ(QFile::exists(folder + QStringLiteral("/a.dw")), !GetParam().moves);
}

INSTANTIATE_TEST_SUITE_P(ImportUnitFiles, ImportFolder,
                         ::testing::Values(FolderCase{"SaveFolderWithDot", "local/./", false},
                                           FolderCase{"LinkToSaveFolder", "alias", false},
                                           FolderCase{"OtherLetterCase", "LOCAL", true}),
                         CaseName<FolderCase>);

TEST_F(UnitBatch, FailedMoveKeepsTheFileAndTheBatchGoesOn)
{
    for (const char* id : {"U1", "U2", "U3"})
        Write(QString::fromLatin1(id) + QStringLiteral(".dw"), UnitFile(QString::fromLatin1(id)));
    QDir().mkpath(Local(QStringLiteral("U2.dw/occupied")));
    const BatchCounts counts =
        Import({QStringLiteral("U1.dw"), QStringLiteral("U2.dw"), QStringLiteral("U3.dw")});
    EXPECT_EQ(counts.imported, 3);
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_TRUE(sink.messages[0].contains(QStringLiteral("移动文件失败:") + In("U2.dw")))
        << sink.messages[0].toStdString();
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("U1.dw"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("U2.dw"))));
    EXPECT_EQ(Row("dat_corp_info", {"corpid"}, "U2"), QStringList{"U2"});
    EXPECT_EQ(Row("dat_corp_info", {"corpid"}, "U3"), QStringList{"U3"});
}

TEST_F(UnitBatch, MissingDatabaseIsAnErrorAndTouchesNoFile)
{
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
    const QString database = Local(QStringLiteral("wenwu.mdb"));
    ASSERT_TRUE(QFile::remove(database));
    try
    {
        Import({QStringLiteral("a.dw")});
        ADD_FAILURE() << "imported without a database";
    }
    catch (const CorvaneError& error)
    {
        EXPECT_EQ(error.Message(), QStringLiteral("数据库文件不存在:") + database);
    }
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("a.dw"))));
    EXPECT_TRUE(sink.messages.isEmpty());
}
} // namespace

TEST(DocumentPrefetcher, GivesLoadErrorsInsteadOfWaitingPastTheEnd)
{
    TempDatabase temp;
    temp.WriteFile(QStringLiteral("in/a.dw"), "<CorpInfo/>");
    const QString bad = temp.WriteFile(QStringLiteral("in/b.dw"), "<CorpInfo>");
    DocumentPrefetcher loader(temp.settings.ImportPath,
                              {QStringLiteral("a.dw"), QStringLiteral("b.dw"), QStringLiteral("a.dw")}, {});
    EXPECT_TRUE(loader.Next().error.isEmpty());
    EXPECT_TRUE(loader.Next().error.startsWith(QStringLiteral("无法打开指定文件") + bad + QLatin1Char('\n')));
    EXPECT_FALSE(loader.Next().error.isEmpty()); // the loader stopped at the bad file
}

// Several loaders read ahead at once; the batch still gets every file once, in list order, with
// its own texts, whether they were looked up ahead (one or three loaders) or when asked (two). With memory
// for one document only, each is loaded once the one before is freed, handed back or not.
class PrefetchOrder : public ::testing::TestWithParam<std::tuple<int, qint64>>
{
};

TEST_P(PrefetchOrder, GivesEveryFileOnceInListOrder)
{
    TempDatabase temp;
    QStringList names;
    for (int i = 0; i < 300; ++i)
    {
        names.append(QStringLiteral("f%1.dw").arg(i, 3, 10, QLatin1Char('0')));
        temp.WriteFile(QStringLiteral("in/") + names.last(),
                       "<CorpInfo><Basic><CorpID>U" + QByteArray::number(i) + "</CorpID></Basic></CorpInfo>");
    }
    const QString key = QStringLiteral("//CorpInfo/Basic/CorpID");
    DocumentPrefetcher loader(temp.settings.ImportPath, names,
                              std::get<0>(GetParam()) % 2 ? QStringList{key} : QStringList(), 8,
                              std::get<0>(GetParam()), std::get<1>(GetParam()));
    for (int i = 0; i < names.size(); ++i)
    {
        DocumentPrefetcher::Loaded loaded = loader.Next();
        ASSERT_EQ(loaded.error, QString()) << i;
        ASSERT_EQ(GetNodeText(loaded.document.Root(), key), QStringLiteral("U%1").arg(i));
        if (i % 3 != 0) // else freed here, as the batch does with a file of the wrong kind
            loader.Recycle(std::move(loaded));
    }
    EXPECT_FALSE(loader.Next().error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(DocumentPrefetcher, PrefetchOrder,
                         ::testing::Combine(::testing::Values(1, 2, 3),
                                            ::testing::Values(kMaxXmlDocumentMemory, qint64(1))),
                         [](const ::testing::TestParamInfo<std::tuple<int, qint64>>& param)
                         {
                             return std::to_string(std::get<0>(param.param)) + "Loaders" +
                                    (std::get<1>(param.param) == 1 ? "OneDocumentAtATime" : "");
                         });
