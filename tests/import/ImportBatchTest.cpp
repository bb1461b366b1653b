// The batch under hostile input and a busy system: every refusal names the file and its reason,
// ends in time, and leaves the database as it was.
#include "ImportFixture.h"
#include "ReportXml.h"
#include "UnitFileText.h"
#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "import/LedgerRecords.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{
// unprocessed: files a stopped batch never looked at.
QString UnitSummary(int imported, int failed, int unprocessed = 0)
{
    const QString counts = QStringLiteral("导入单位信息:操作完成！\n倒入成功%1个文件\n倒入失败%2个文件")
                               .arg(imported)
                               .arg(failed);
    return unprocessed > 0 ? counts + QStringLiteral("\n未处理%1个文件").arg(unprocessed) : counts;
}

// unprocessed: files a stopped batch never looked at.
QString ProjectSummary(int imported, int failed, int unprocessed = 0)
{
    const QString counts = QStringLiteral("导入项目信息:操作完成！\n倒入成功%1个文件\n倒入失败%2个文件")
                               .arg(imported)
                               .arg(failed);
    return unprocessed > 0 ? counts + QStringLiteral("\n未处理%1个文件").arg(unprocessed) : counts;
}

// A batch over a database that already holds unit U0, so that "unchanged" compares real rows.
class Batch : public ImportFixture
{
protected:
    void SetUp() override
    {
        Write(QStringLiteral("u0.dw"), UnitFile(QStringLiteral("U0")));
        ImportUnits({QStringLiteral("u0.dw")});
        sink.messages.clear();
        before = temp.Snapshot();
    }
    BatchCounts ImportUnits(const QStringList& names)
    {
        return ImportUnitFiles(FileList{temp.settings.ImportPath, names, {}}, temp.settings, sink);
    }
    BatchCounts ImportProjects(const QStringList& names)
    {
        return ImportProjectFiles(FileList{temp.settings.ImportPath, names, {}}, temp.settings, sink);
    }
    QString before;
};

// A document the loader must refuse, with the reason shown on the line after the path.
struct HostileCase
{
    const char* name;
    QByteArray bytes;
    const char* reason; // the start of the reason line
    friend void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }
};

QByteArray EntityBomb(int references)
{
    QByteArray text = "<?xml version=\"1.0\"?>\n<!DOCTYPE CorpInfo [<!ENTITY big \"" +
                      QByteArray(50000, 'x') + "\">]>\n<CorpInfo><Basic><CorpID>U9</CorpID><Name>";
    for (int i = 0; i < references; ++i)
        text += "&big;";
    return text + "</Name></Basic></CorpInfo>";
}

// Elements without end the parser keeps as nodes of a few hundred bytes each.
QByteArray EmptyElements(int count)
{
    QByteArray text = "<CorpInfo>";
    for (int i = 0; i < count; ++i)
        text += "<a/>";
    return text + "</CorpInfo>";
}

// Each attribute is checked against the ones before it: minutes for this many.
QByteArray WideElement(int attributes)
{
    QByteArray text = "<CorpInfo><Basic";
    for (int i = 0; i < attributes; ++i)
        text += " a" + QByteArray::number(i) + "=\"\"";
    return text + "/></CorpInfo>";
}

class HostileDocuments : public Batch, public ::testing::WithParamInterface<HostileCase>
{
};

TEST_P(HostileDocuments, AreLoadErrorsWithAReasonAndChangeNothing)
{
    Write(QStringLiteral("bad.dw"), GetParam().bytes);
    Write(QStringLiteral("next.dw"), UnitFile(QStringLiteral("U2")));
    const BatchCounts counts = ImportUnits({QStringLiteral("bad.dw"), QStringLiteral("next.dw")});
    ASSERT_EQ(sink.messages.size(), 2);
    const QStringList lines = sink.messages[0].split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << sink.messages[0].toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("无法打开指定文件") + In(QStringLiteral("bad.dw")));
    EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8(GetParam().reason))) << lines[1].toStdString();
    EXPECT_EQ(sink.messages[1], UnitSummary(0, 0, 2));
    EXPECT_TRUE(counts.stopped);
    EXPECT_EQ(temp.Snapshot(), before);
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("bad.dw"))));
}

INSTANTIATE_TEST_SUITE_P(
    ImportFiles, HostileDocuments,
    ::testing::Values(
        HostileCase{"EntityAmplification", EntityBomb(5000), "文件声明了实体"},
        HostileCase{"UnusedEntity", "<!DOCTYPE CorpInfo [<!ENTITY e \"x\">]><CorpInfo/>", "文件声明了实体"},
        HostileCase{"NotWellFormed", "<CorpInfo>\n<Basic>", "格式不正确: 第2行第"},
        HostileCase{"UnknownEncoding", "<?xml version=\"1.0\" encoding=\"X-NONE\"?><CorpInfo/>",
                    "未知的编码: "},
        HostileCase{"BrokenGbBytes",
                    "<?xml version=\"1.0\" encoding=\"GB2312\"?><CorpInfo><Basic><Name>\xff\xff"
                    "</Name></Basic></CorpInfo>",
                    "编码错误: "},
        HostileCase{"Empty", "", "文件为空或没有根元素"},
        HostileCase{"DocumentOverTheMemoryLimit", EmptyElements(1400000), "文件过大 (读入需约 "},
        HostileCase{"TwoHundredThousandAttributes", WideElement(200000), "元素的属性过多"}),
    CaseName<HostileCase>);

// A file of the other kind, or no report at all, is a failed file: named, left, nothing written.
struct WrongKindCase
{
    const char* name;
    bool projects; // given to the project import, else to the unit import
    QByteArray bytes;
    const char* shown; // %1 is the file's path
    friend void PrintTo(const WrongKindCase& c, std::ostream* out) { *out << c.name; }
};

class WrongKind : public Batch, public ::testing::WithParamInterface<WrongKindCase>
{
};

TEST_P(WrongKind, CountsAsFailedAndTheBatchGoesOn)
{
    const WrongKindCase& c = GetParam();
    const QString good = c.projects ? QStringLiteral("good.xm") : QStringLiteral("good.dw");
    Write(QStringLiteral("wrong.x"), c.bytes);
    Write(good, c.projects ? ReportXml::Project("U01", "P01").Bytes() : UnitFile(QStringLiteral("U3")));
    const BatchCounts counts = c.projects ? ImportProjects({QStringLiteral("wrong.x"), good})
                                          : ImportUnits({QStringLiteral("wrong.x"), good});
    EXPECT_EQ(sink.messages, QStringList({QString::fromUtf8(c.shown).arg(In(QStringLiteral("wrong.x"))),
                                          c.projects ? ProjectSummary(1, 1) : UnitSummary(1, 1)}));
    EXPECT_EQ(counts.failed, 1);
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("wrong.x"))));
    EXPECT_EQ(Rows(QStringLiteral("dat_project_info")), c.projects ? 1 : 0);
    EXPECT_EQ(
        temp.Scalar(QStringLiteral("select count(*) from dat_project_info where projectid = '_'")).toInt(),
        0);
}

TEST_P(WrongKind, LeavesTheDatabaseAsItWas)
{
    Write(QStringLiteral("wrong.x"), GetParam().bytes);
    GetParam().projects ? ImportProjects({QStringLiteral("wrong.x")})
                        : ImportUnits({QStringLiteral("wrong.x")});
    EXPECT_EQ(temp.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    ImportFiles, WrongKind,
    ::testing::Values(
        WrongKindCase{"UnitFileToProjects", true, UnitFile(QStringLiteral("U7")),
                      "不是项目信息文件:%1\n这是单位信息文件 (根元素 <CorpInfo>)"},
        WrongKindCase{"ProjectFileToUnits", false, ReportXml::Project("U01", "P09").Bytes(),
                      "不是单位信息文件:%1\n这是项目信息文件 (根元素 <Report>)"},
        WrongKindCase{"ForeignXmlToProjects", true, "<Foo>bar</Foo>", "不是项目信息文件:%1\n根元素是 <Foo>"},
        WrongKindCase{"ForeignXmlToUnits", false, "<Foo>bar</Foo>", "不是单位信息文件:%1\n根元素是 <Foo>"},
        // Report files name no namespace: their paths would find nothing, and the key be "_".
        WrongKindCase{"NamespacedReportToProjects", true,
                      "<Report xmlns=\"urn:x\"><BasicInfo><ProjectName>n</ProjectName></BasicInfo></Report>",
                      "不是项目信息文件:%1\n根元素是 <Report> (命名空间 urn:x)"},
        WrongKindCase{"PrefixedCorpInfoToUnits", false,
                      "<c:CorpInfo xmlns:c=\"urn:y\"><c:Basic><c:CorpID>U8</c:CorpID></c:Basic></c:CorpInfo>",
                      "不是单位信息文件:%1\n根元素是 <CorpInfo> (命名空间 urn:y)"}),
    CaseName<WrongKindCase>);

// What the ledger keeps of each file of a batch that meets every outcome. shown: the batch's
// message for the file (its index among those shown), -1 for none.
struct LedgerCase
{
    const char* file;
    QByteArray bytes;
    const char* key;
    const char* outcome;
    const char* change;
    int shown;
    bool read; // its size and hash are known
};

TEST_F(Batch, LedgerHoldsEveryFileWithItsOutcomeAndTheMessagesShown)
{
    // Imported before: U1 as it is now, U3 with other content.
    Write(QStringLiteral("U1.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("U3.dw"),
          UnitFile(QStringLiteral("U3"), {{QStringLiteral("Basic/Name"), QStringLiteral("旧")}}));
    ImportUnits({QStringLiteral("U1.dw"), QStringLiteral("U3.dw")});
    sink.messages.clear();

    const LedgerCase cases[] = {
        {"new.dw", UnitFile(QStringLiteral("U4")), "U4", "imported", "new", -1, true},
        {"same.dw", UnitFile(QStringLiteral("U1")), "U1", "imported", "unchanged", -1, true},
        {"changed.dw", UnitFile(QStringLiteral("U3")), "U3", "imported", "updated", -1, true},
        {"refused.dw",
         UnitFile(QStringLiteral("U2"), {{QStringLiteral("Reserve/DepotArea"), QString(300, u'九')}}), "U2",
         "failed", "", 0, true},
        {"project.xm", ReportXml::Project("U01", "P09").Bytes(), "", "not of this kind", "", 1, true},
        {"broken.dw", "<CorpInfo><Basic>", "", "not loadable", "", 2, true},
        {"after.dw", UnitFile(QStringLiteral("U5")), "", "not processed", "", -1, false},
    };
    QStringList names;
    for (const LedgerCase& c : cases)
    {
        Write(QString::fromUtf8(c.file), c.bytes);
        names.append(QString::fromUtf8(c.file));
    }
    const BatchCounts counts = ImportUnits(names);
    ASSERT_EQ(sink.messages.size(), 4) << sink.messages.join('\n').toStdString();

    auto db = temp.Open();
    const std::optional<LedgerBatch> batch = FindBatch(*db, counts.batchId.left(8));
    ASSERT_TRUE(batch);
    const QVector<LedgerFile> files = BatchFiles(*db, batch->id);
    ASSERT_EQ(files.size(), std::size(cases));
    for (qsizetype i = 0; i < files.size(); ++i)
    {
        const LedgerCase& c = cases[i];
        const LedgerFile& file = files[i];
        SCOPED_TRACE(c.file);
        EXPECT_EQ(file.name, QString::fromUtf8(c.file));
        EXPECT_EQ(file.outcome, QString::fromUtf8(c.outcome));
        EXPECT_EQ(file.change, QString::fromUtf8(c.change));
        EXPECT_EQ(file.key, QString::fromUtf8(c.key));
        EXPECT_EQ(file.unitId, QString::fromUtf8(c.key));
        EXPECT_EQ(ReasonText(file), c.shown < 0 ? OutcomeText(file.outcome) : sink.messages[c.shown]);
        EXPECT_EQ(file.messages.size(), c.shown < 0 ? 0 : 1);
        EXPECT_EQ(file.size, c.read ? c.bytes.size() : -1);
        EXPECT_EQ(file.sha256,
                  c.read ? QString::fromLatin1(
                               QCryptographicHash::hash(c.bytes, QCryptographicHash::Sha256).toHex())
                         : QString());
    }
    // A long value is shortened where it is shown and kept whole for the ledger.
    const MessageDetail refused = files[3].messages.value(0).detail;
    EXPECT_EQ(std::tuple(refused.element, refused.value),
              std::tuple(QStringLiteral("Reserve/DepotArea"), QString(300, u'九')));
    EXPECT_TRUE(sink.messages[0].endsWith(QString(200, u'九') + QStringLiteral("…\" 不是数字")));
    EXPECT_EQ(batch->kind, QStringLiteral("units"));
    EXPECT_EQ(batch->listed, 7);
    EXPECT_EQ(batch->imported, counts.imported);
    EXPECT_EQ(batch->failed, counts.failed);
    EXPECT_EQ(batch->unprocessed, counts.unprocessed);
    EXPECT_EQ(std::tuple(batch->added, batch->updated, batch->unchanged), std::tuple(1, 1, 1));
    EXPECT_EQ(batch->databaseName, temp.settings.LocalPath + QStringLiteral("wenwu.mdb"));
    EXPECT_FALSE(batch->endedAt.isEmpty());
    EXPECT_FALSE(batch->osUser.isEmpty());
    EXPECT_EQ(ListBatches(*db, 1).value(0).id, batch->id);
    EXPECT_EQ(ListBatches(*db).size(), 3);

    // A batch killed before its end has the counts of the entries its commits wrote.
    db->Execute(QStringLiteral(
                    "UPDATE imp_batch SET ended_at = NULL, imported = NULL, failed = NULL, "
                    "unprocessed = NULL, added = NULL, updated = NULL, unchanged = NULL WHERE batch_id = ?"),
                {batch->id})
        .finish();
    const std::optional<LedgerBatch> killed = FindBatch(*db, batch->id);
    EXPECT_EQ(std::tuple(killed->imported, killed->added, killed->updated, killed->unchanged),
              std::tuple(batch->imported, 1, 1, 1));
}

// The database chosen as a report file is never opened outside the engine.
TEST_F(Batch, TheDatabaseFileIsNotOfTheBatchsKind)
{
    const BatchCounts counts = ImportProjectFiles(
        FileList{temp.settings.LocalPath, {QStringLiteral("wenwu.mdb"), QStringLiteral("wenwu.mdb-wal")}, {}},
        temp.settings, sink);
    EXPECT_EQ(sink.messages.value(0), QStringLiteral("不是项目信息文件:") +
                                          Local(QStringLiteral("wenwu.mdb")) + "\n这是本程序的数据库文件");
    EXPECT_EQ(counts.failed, sink.messages.size() - 1);
    EXPECT_EQ(temp.Snapshot(), before);
}

// Anything but a regular file of sensible size is refused at once, without reading it.
struct SpecialCase
{
    const char* name;
    void (*make)(const QString& path);
    const char* reason;
    friend void PrintTo(const SpecialCase& c, std::ostream* out) { *out << c.name; }
};

void MakeFifo(const QString& path)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
}

void LinkToDevZero(const QString& path)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
}

void MakeHuge(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize((qint64(16) << 20) + 1)); // sparse: costs no disk
}

void MakeFolder(const QString& path)
{
    ASSERT_TRUE(QDir().mkpath(path));
}

void DanglingLink(const QString& path)
{
    ASSERT_TRUE(QFile::link(path + QStringLiteral(".gone"), path));
}

void LinkLoop(const QString& path)
{
    ASSERT_TRUE(QFile::link(path + QStringLiteral(".b"), path));
    ASSERT_TRUE(QFile::link(path, path + QStringLiteral(".b")));
}

class SpecialFiles : public Batch, public ::testing::WithParamInterface<SpecialCase>
{
};

TEST_P(SpecialFiles, AreRefusedAtOnceWithAReason)
{
    GetParam().make(In(QStringLiteral("f.dw")));
    QElapsedTimer timer;
    timer.start();
    const BatchCounts counts = ImportUnits({QStringLiteral("f.dw")});
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(sink.messages, QStringList({QStringLiteral("无法打开指定文件") + In(QStringLiteral("f.dw")) +
                                              QLatin1Char('\n') + QString::fromUtf8(GetParam().reason),
                                          UnitSummary(0, 0, 1)}));
    EXPECT_TRUE(counts.stopped);
    EXPECT_EQ(temp.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(ImportFiles, SpecialFiles,
                         ::testing::Values(SpecialCase{"Fifo", MakeFifo, "不是普通文件"},
                                           SpecialCase{"LinkToDevZero", LinkToDevZero, "不是普通文件"},
                                           SpecialCase{"Over16MB", MakeHuge, "文件过大 (超过 16 MB)"},
                                           SpecialCase{"Folder", MakeFolder, "这是一个文件夹，不是文件"},
                                           SpecialCase{"Missing", [](const QString&) {}, "文件不存在"},
                                           SpecialCase{"DanglingLink", DanglingLink, "链接指向的文件不存在"},
                                           SpecialCase{"LinkLoop", LinkLoop,
                                                       "符号链接绕成了一个圈，指不到任何文件"}),
                         CaseName<SpecialCase>);

// In folder mode every entry that cannot be read is reported by name, and the rest imported.
TEST_F(Batch, FolderReportsEachEntryItCannotRead)
{
    const QString folder = temp.Folder() + QStringLiteral("box/");
    temp.WriteFile(folder + QStringLiteral("a.dw"), UnitFile(QStringLiteral("U5")));
    MakeFifo(folder + QStringLiteral("fifo.dw"));
    DanglingLink(folder + QStringLiteral("gone.dw"));
    LinkLoop(folder + QStringLiteral("loop.dw"));
    const QByteArray gbkName = QFile::encodeName(folder) + "\xb5\xa5\xce\xbb.dw"; // 单位 in GBK
    QFile raw;
    ASSERT_TRUE(raw.open(fopen(gbkName.constData(), "w"), QIODevice::WriteOnly, QFile::AutoCloseHandle));
    raw.write(UnitFile(QStringLiteral("U6")));
    raw.close();

    const FileList files = FileListOfFolder(folder, QStringLiteral("dw"));
    const BatchCounts counts = ImportUnitFiles(files, temp.settings, sink);
    EXPECT_EQ(counts.imported, 1);
    EXPECT_EQ(counts.failed, 4);
    const QString shown = sink.messages.join(QLatin1String("\n---\n"));
    EXPECT_TRUE(
        shown.contains(QStringLiteral("无法打开指定文件") + folder + QStringLiteral("fifo.dw\n不是普通文件")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("无法打开指定文件") + folder +
                               QStringLiteral("gone.dw\n链接指向的文件不存在")));
    EXPECT_TRUE(shown.contains(QStringLiteral("无法打开指定文件") + folder +
                               QStringLiteral("loop.dw\n符号链接绕成了一个圈")));
    EXPECT_TRUE(shown.contains(QStringLiteral("无法打开指定文件") + folder +
                               QStringLiteral("\\265\\245\\316\\273.dw\n文件名不能按系统编码解读")));
    EXPECT_EQ(sink.messages.last(), UnitSummary(1, 4));
}

// A path that is no folder is listed as nothing: the list says so, naming it.
TEST_F(Batch, FolderThatCannotBeListedIsAProblemNotAnEmptyList)
{
    Write(QStringLiteral("plain.dw"), UnitFile(QStringLiteral("U5")));
    const FileList files = FileListOfFolder(In(QStringLiteral("plain.dw")), QStringLiteral("dw"));
    EXPECT_EQ(files.problem, QStringLiteral("无法读取文件夹") + In(QStringLiteral("plain.dw/")) +
                                 QStringLiteral("\n这不是一个文件夹"));
    EXPECT_TRUE(files.names.isEmpty());
}

// A file whose rows are in but which cannot be moved stays, counts as imported, and the batch
// goes on; one summary names the files left behind.
TEST_F(Batch, FailedMoveIsReportedInTheSummaryAndTheBatchGoesOn)
{
    for (const char* id : {"U1", "U2", "U3"})
        Write(QString::fromLatin1(id) + QStringLiteral(".dw"), UnitFile(QString::fromLatin1(id)));
    QDir().mkpath(Local(QStringLiteral("U2.dw/occupied")));
    const BatchCounts counts =
        ImportUnits({QStringLiteral("U1.dw"), QStringLiteral("U2.dw"), QStringLiteral("U3.dw")});
    EXPECT_EQ(counts.imported, 3);
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_TRUE(sink.messages[0].startsWith(UnitSummary(3, 0) + QStringLiteral("\n有1个文件无法移动到") +
                                            temp.settings.LocalPath +
                                            QStringLiteral("，仍在原处:\nU2.dw\n原因:移动文件失败:")))
        << sink.messages[0].toStdString();
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("U3.dw"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("U2.dw"))));
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from dat_corp_info")).toInt(), 4);
    auto db = temp.Open();
    QStringList outcomes;
    for (const LedgerFile& file : BatchFiles(*db, counts.batchId))
        outcomes.append(file.outcome);
    EXPECT_EQ(outcomes, QStringList({"imported", "imported, not moved", "imported"}));
    EXPECT_EQ(FindBatch(*db, counts.batchId)->notMoved, 1);
}

// Another import of the same folder took a file after it was imported here: it is gone from the
// folder, not still in place.
TEST_F(Batch, FileTakenByAnotherImportIsNotSaidToBeInPlace)
{
    class TakingSink : public RecordingSink
    {
    public:
        explicit TakingSink(const QString& folder) : m_folder(folder) {}
        void Progress(const QString& step, int, int) override
        {
            if (step == QLatin1String("U2.dw"))
                QFile::rename(m_folder + QStringLiteral("U1.dw"), m_folder + QStringLiteral("U1.elsewhere"));
        }

    private:
        QString m_folder;
    } taking(temp.settings.ImportPath);
    for (const char* id : {"U1", "U2"})
        Write(QString::fromLatin1(id) + QStringLiteral(".dw"), UnitFile(QString::fromLatin1(id)));
    ImportUnitFiles(
        FileList{temp.settings.ImportPath, {QStringLiteral("U1.dw"), QStringLiteral("U2.dw")}, {}},
        temp.settings, taking);
    EXPECT_EQ(taking.messages,
              QStringList{UnitSummary(2, 0) + QStringLiteral("\n有1个文件已不在") + temp.settings.ImportPath +
                          QStringLiteral("中，未移动 (可能已被其他程序移走):\nU1.dw")});
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("U2.dw"))));
}

TEST_F(Batch, ManyFailedMovesNameTheFirstTwentyThenACount)
{
    QStringList names;
    for (int i = 0; i < 22; ++i)
    {
        names.append(QStringLiteral("m%1.dw").arg(i, 2, 10, QLatin1Char('0')));
        Write(names.last(), UnitFile(QStringLiteral("M%1").arg(i)));
        QDir().mkpath(Local(names.last() + QStringLiteral("/occupied")));
    }
    ImportUnits(names);
    ASSERT_EQ(sink.messages.size(), 1);
    const QString& summary = sink.messages[0];
    EXPECT_TRUE(summary.contains(QStringLiteral("有22个文件无法移动到")));
    EXPECT_TRUE(summary.contains(QStringLiteral("\nm19.dw\n……另有2个文件\n原因:")));
    EXPECT_FALSE(summary.contains(QStringLiteral("m20.dw")));
}

TEST_F(Batch, LinkedFileIsArchivedAsItsContentAndTheLinkRemoved)
{
    const QString target =
        temp.WriteFile(QStringLiteral("elsewhere/real.dw"), UnitFile(QStringLiteral("U4")));
    ASSERT_TRUE(QFile::link(target, In(QStringLiteral("a.dw"))));
    EXPECT_EQ(ImportUnits({QStringLiteral("a.dw")}).imported, 1);
    const QFileInfo archived(Local(QStringLiteral("a.dw")));
    EXPECT_TRUE(archived.isFile());
    EXPECT_FALSE(archived.isSymLink());
    EXPECT_EQ(archived.size(), QFileInfo(target).size());
    EXPECT_FALSE(QFileInfo(In(QStringLiteral("a.dw"))).isSymLink());
    EXPECT_TRUE(QFile::exists(target));
}

// The same file named twice, however spelled, is imported once and the batch goes on.
struct DuplicateCase
{
    const char* name;
    QStringList names;
    friend void PrintTo(const DuplicateCase& c, std::ostream* out) { *out << c.name; }
};

class Duplicates : public Batch, public ::testing::WithParamInterface<DuplicateCase>
{
};

TEST_P(Duplicates, AreImportedOnce)
{
    Write(QStringLiteral("A.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("B.dw"), UnitFile(QStringLiteral("U2")));
    ASSERT_TRUE(QFile::link(In(QStringLiteral("A.dw")), In(QStringLiteral("link.dw"))));
    const BatchCounts counts = ImportUnits(GetParam().names);
    EXPECT_EQ(sink.messages, QStringList{UnitSummary(2, 0)});
    EXPECT_EQ(counts.imported, 2);
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("B.dw"))));
}

// A folder's own listing names each entry once; a link in it still names its target a second time.
TEST_F(Batch, LinkInTheListedFolderIsImportedOnce)
{
    Write(QStringLiteral("A.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("B.dw"), UnitFile(QStringLiteral("U2")));
    ASSERT_TRUE(QFile::link(In(QStringLiteral("A.dw")), In(QStringLiteral("link.dw"))));
    const BatchCounts counts = ImportUnitFiles(
        FileListOfFolder(temp.settings.ImportPath, QStringLiteral("dw")), temp.settings, sink);
    EXPECT_EQ(sink.messages, QStringList{UnitSummary(2, 0)});
    EXPECT_EQ(counts.imported, 2);
}

INSTANTIATE_TEST_SUITE_P(ImportFiles, Duplicates,
                         ::testing::Values(DuplicateCase{"SameName", {"A.dw", "A.dw", "B.dw"}},
                                           DuplicateCase{"DotSlash", {"A.dw", "./A.dw", "B.dw"}},
                                           DuplicateCase{"LinkAfterTarget", {"A.dw", "link.dw", "B.dw"}},
                                           DuplicateCase{"LinkBeforeTarget", {"link.dw", "A.dw", "B.dw"}}),
                         CaseName<DuplicateCase>);

// Another program on the database: a reader never stops the import; a writer that keeps it past
// the short wait stops the batch once, before any row of the file in hand.
class BusyDatabase : public Batch
{
protected:
    void WriteThree()
    {
        for (const char* id : {"U1", "U2", "U3"})
            Write(QString::fromLatin1(id) + QStringLiteral(".dw"), UnitFile(QString::fromLatin1(id)));
    }
    const QStringList three = {QStringLiteral("U1.dw"), QStringLiteral("U2.dw"), QStringLiteral("U3.dw")};
};

TEST_F(BusyDatabase, ReaderInATransactionDoesNotStopTheImport)
{
    WriteThree();
    auto other = temp.Open();
    other->Execute(QStringLiteral("BEGIN")).finish();
    QSqlQuery& read = other->Execute(QStringLiteral("select count(*) from dat_corp_info"));
    ASSERT_TRUE(read.next());
    EXPECT_EQ(ImportUnits(three).imported, 3);
    EXPECT_EQ(sink.messages, QStringList{UnitSummary(3, 0)});
    read.finish();
    other->Rollback();
}

TEST_F(BusyDatabase, IdleConnectionDoesNotStopTheImport)
{
    WriteThree();
    auto other = temp.Open();
    EXPECT_EQ(ImportUnits(three).imported, 3);
    EXPECT_EQ(sink.messages, QStringList{UnitSummary(3, 0)});
}

TEST_F(BusyDatabase, WriterStopsTheBatchOnceAndChangesNothing)
{
    WriteThree();
    auto other = temp.Open();
    other->Execute(QStringLiteral("BEGIN IMMEDIATE")).finish();
    QElapsedTimer timer;
    timer.start();
    const BatchCounts counts = ImportUnits(three);
    EXPECT_LT(timer.elapsed(), 10000);
    other->Rollback();
    EXPECT_EQ(sink.messages,
              QStringList({QStringLiteral("数据库正被其他程序使用") + Local(QStringLiteral("wenwu.mdb")),
                           UnitSummary(0, 0, 3)}));
    EXPECT_TRUE(counts.stopped);
    for (const QString& name : three)
        EXPECT_TRUE(QFile::exists(In(name))) << name.toStdString();
    EXPECT_EQ(temp.Snapshot(), before);
}

// The operator cancels while a file is in hand: that file is finished, committed and moved, the
// rest are left where they are and counted as unprocessed.
class CancellingSink : public RecordingSink
{
public:
    explicit CancellingSink(int steps) : m_steps(steps) {}
    void Progress(const QString&, int done, int total) override
    {
        m_cancelled = done >= m_steps && done < total;
    }
    bool Cancelled() override { return m_cancelled; }

private:
    int m_steps;
    bool m_cancelled = false;
};

TEST_F(Batch, CancelEndsAfterTheFileInHandAndCountsTheRest)
{
    const QStringList names{QStringLiteral("a.dw"), QStringLiteral("b.dw"), QStringLiteral("c.dw"),
                            QStringLiteral("d.dw")};
    for (const QString& name : names)
        Write(name, UnitFile(name.left(1)));
    CancellingSink cancelling(2);
    const BatchCounts counts =
        ImportUnitFiles(FileList{temp.settings.ImportPath, names, {}}, temp.settings, cancelling);
    EXPECT_EQ(cancelling.messages, QStringList{UnitSummary(2, 0, 2) + QStringLiteral("\n操作已取消")});
    EXPECT_TRUE(counts.cancelled);
    EXPECT_TRUE(counts.stopped);
    EXPECT_EQ(counts.unprocessed, 2);
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("b.dw"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("c.dw"))));
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from dat_corp_info")).toInt(), 3);
}
} // namespace
