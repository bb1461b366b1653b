// libFuzzer target: one input loaded as a report file and imported as a unit and as a project
// into a scratch database, each inside a transaction that is rolled back, so every run starts
// from the same rows. One input in 64 also goes through the whole batch of both kinds. Any
// crash, sanitizer report or exception other than CorvaneError is a finding.
#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/Settings.h"
#include "services/XmlAccess.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace
{
class NullSink : public MessageSink
{
public:
    void Show(const QString&) override {}
};

// In memory where the system offers it: a file system that syncs each commit would make a run
// cost a disk flush.
QString ScratchTemplate()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable()
               ? QStringLiteral("/dev/shm/corvane-fuzz-XXXXXX")
               : QDir::tempPath() + QStringLiteral("/corvane-fuzz-XXXXXX");
}

struct Scratch
{
    QTemporaryDir dir{ScratchTemplate()};
    Settings settings;
    std::unique_ptr<Database> db;
    UnitDictionaries units;
    ProjectDictionaries projects;
    NullSink sink;
    unsigned runs = 0;

    Scratch()
    {
        settings.ImportPath = dir.path() + QStringLiteral("/in/");
        settings.LocalPath = dir.path() + QStringLiteral("/local/");
        QDir().mkpath(settings.ImportPath);
        QDir().mkpath(settings.LocalPath);
        CreateDatabase(settings.LocalPath + QStringLiteral("wenwu.mdb"));
        db = OpenDatabase(settings);
        units = LoadUnitDictionaries(*db, sink);
        projects = LoadProjectDictionaries(*db, sink);
    }
};

Scratch* Space = nullptr;

QString WriteInput(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = Space->settings.ImportPath + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

void ImportDocument(const QString& path)
{
    XmlDocument doc = LoadXmlFile(path);
    if (!GetXmlError().isEmpty())
        return;
    Database& db = *Space->db;
    const XmlNode root = doc.Root();
    try
    {
        Transaction transaction(db); // rolled back when it goes out of scope
        ImportUnitDocument(db, root, GetNodeText(root, QStringLiteral("//CorpInfo/Basic/CorpID")),
                           Space->units, Space->sink);
    }
    catch (const CorvaneError&)
    {
    }
    try
    {
        Transaction transaction(db);
        ImportProjectDocument(db, root, ProjectKey(root), Space->projects, Space->sink);
    }
    catch (const CorvaneError&)
    {
    }
}

void ImportBatches(const uint8_t* data, size_t size)
{
    try
    {
        WriteInput(QStringLiteral("f.dw"), data, size);
        WriteInput(QStringLiteral("f.xm"), data, size);
        ImportUnitFiles(FileList{Space->settings.ImportPath, {QStringLiteral("f.dw")}}, Space->settings,
                        Space->sink);
        ImportProjectFiles(FileList{Space->settings.ImportPath, {QStringLiteral("f.xm")}}, Space->settings,
                           Space->sink);
    }
    catch (const CorvaneError&)
    {
        // The batch's own refusals (a missing dictionary table, ...) are not findings.
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Never destroyed: the fuzzer leaves through exit(), after which Qt cannot be torn down safely.
    new QCoreApplication(*argc, *argv);
    Space = new Scratch;
    // The scratch folder outlives the leaked objects; remove it when the process ends.
    static const QString folder = Space->dir.path();
    std::atexit([] { QDir(folder).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImportDocument(WriteInput(QStringLiteral("f.dw"), data, size));
    if (++Space->runs % 64 == 0)
        ImportBatches(data, size);
    return 0;
}
