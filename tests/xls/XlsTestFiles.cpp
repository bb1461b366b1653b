#include "XlsTestFiles.h"

#include "BiffVerifier.h"
#include "services/CorvaneError.h"

#include <QStringList>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <stdexcept>

namespace
{
void ReadStorage(GsfInfile* storage, const QString& prefix, std::map<QString, QByteArray>& entries)
{
    for (int i = 0; i < gsf_infile_num_children(storage); ++i)
    {
        const QString name = prefix + QString::fromUtf8(gsf_infile_name_by_index(storage, i));
        GsfInput* child = gsf_infile_child_by_index(storage, i);
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0)
        {
            guint8 id[16] = {};
            gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child), id);
            entries[name] = "clsid:" + QByteArray(reinterpret_cast<const char*>(id), 16);
            ReadStorage(GSF_INFILE(child), name + "/", entries);
        }
        else
        {
            QByteArray bytes(qsizetype(gsf_input_size(child)), '\0');
            if (!bytes.isEmpty())
                gsf_input_read(child, size_t(bytes.size()), reinterpret_cast<guint8*>(bytes.data()));
            entries[name] = bytes;
        }
        g_object_unref(child);
    }
}

GsfOutfile* ChildStorage(GsfOutfile* root, std::map<QString, GsfOutfile*>& storages, const QString& path)
{
    if (path.isEmpty())
        return root;
    return storages.at(path);
}
} // namespace

QString FindingFile(const QString& name)
{
    return QStringLiteral(CORVANE_FINDINGS_DIR "/") + name;
}

QString TestDataFile(const QString& name)
{
    return QString(CORVANE_TEST_DATA_DIR) + "/" + name;
}

QString TemplateFile(const QString& name)
{
    return QString(CORVANE_TEMPLATE_DIR) + "/" + name;
}

QString ThrownMessage(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const CorvaneError& error)
    {
        return error.Message();
    }
    return "(no error)";
}

Worksheet& WorkbookFill::Open(const QString& path, int sheet)
{
    m_book.OpenWorkbook(path);
    return m_book.Sheets().SheetAt(sheet);
}

Worksheet& WorkbookFill::SaveAndReopen(int sheet, const QString& name)
{
    const QString path = m_dir.filePath(name);
    m_book.SaveWorkbook(path);
    EXPECT_EQ(VerifyWorkbookStructure(path).join("\n").toStdString(), "");
    return Open(path, sheet);
}

std::map<QString, QByteArray> ReadCompoundEntries(const QString& path)
{
    gsf_init();
    std::map<QString, QByteArray> entries;
    GsfInput* input = gsf_input_stdio_new(path.toLocal8Bit().constData(), nullptr);
    if (input == nullptr)
        return entries;
    GsfInfile* root = gsf_infile_msole_new(input, nullptr);
    g_object_unref(input);
    if (root == nullptr)
        return entries;
    guint8 id[16] = {};
    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root), id);
    entries[""] = "clsid:" + QByteArray(reinterpret_cast<const char*>(id), 16);
    ReadStorage(root, "", entries);
    g_object_unref(root);
    return entries;
}

QByteArray ReadWorkbookStream(const QString& path)
{
    for (const auto& [name, bytes] : ReadCompoundEntries(path))
        if (name.compare("Workbook", Qt::CaseInsensitive) == 0)
            return bytes;
    return QByteArray();
}

void WriteCompoundEntries(const QString& path, const std::map<QString, QByteArray>& entries)
{
    gsf_init();
    GsfOutput* sink = gsf_output_stdio_new(path.toLocal8Bit().constData(), nullptr);
    GsfOutfile* root = gsf_outfile_msole_new(sink);
    std::map<QString, GsfOutfile*> storages;
    // Parents come before their children in the map's order, so storages exist when needed;
    // every stream is closed before the next one opens.
    for (const auto& [name, bytes] : entries)
    {
        const bool isStorage = bytes.startsWith("clsid:") && bytes.size() == 22;
        if (name.isEmpty())
        {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root),
                                           reinterpret_cast<const guint8*>(bytes.constData() + 6));
            continue;
        }
        const int slash = int(name.lastIndexOf('/'));
        GsfOutfile* parent = ChildStorage(root, storages, slash < 0 ? QString() : name.left(slash));
        const QByteArray leaf = name.mid(slash + 1).toUtf8();
        GsfOutput* child = gsf_outfile_new_child(parent, leaf.constData(), isStorage);
        if (isStorage)
        {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(child),
                                           reinterpret_cast<const guint8*>(bytes.constData() + 6));
            storages[name] = GSF_OUTFILE(child);
            continue;
        }
        gsf_output_write(child, size_t(bytes.size()), reinterpret_cast<const guint8*>(bytes.constData()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    for (auto it = storages.rbegin(); it != storages.rend(); ++it)
    {
        gsf_output_close(GSF_OUTPUT(it->second));
        g_object_unref(it->second);
    }
    gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
    g_object_unref(sink);
}
