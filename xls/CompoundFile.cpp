#include "xls/CompoundFile.h"

#include "services/CorvaneError.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <mutex>
#include <unistd.h>

namespace
{
void InitGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// libgsf prints its own warnings about a damaged file on stderr; while one is read or written they
// are held back, as the message the program shows says what went wrong.
class QuietGsf
{
public:
    QuietGsf() : m_previous(g_log_set_default_handler(&Ignore, nullptr)) {}
    ~QuietGsf() { g_log_set_default_handler(m_previous, nullptr); }
    QuietGsf(const QuietGsf&) = delete;
    QuietGsf& operator=(const QuietGsf&) = delete;

private:
    static void Ignore(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
    GLogFunc m_previous;
};

// A stream's name as a message shows it: without the control characters some names start with
// ("\005SummaryInformation"), under the storages holding it.
QString DisplayName(const QString& storage, const char* name)
{
    QString shown = QString::fromUtf8(name != nullptr ? name : "");
    while (!shown.isEmpty() && shown.front().unicode() < 0x20)
        shown.remove(0, 1);
    return storage.isEmpty() ? shown : storage + "/" + shown;
}

// The first stream under storage that cannot be read to its stated size (a block chain cut
// short, a child libgsf cannot open), or an empty string when every one reads whole. The children
// at skipA and skipB (read already, or left out of the copy) are not looked at.
QString FindUnreadableStream(GsfInfile* storage, const QString& storageName, int skipA = -1, int skipB = -1)
{
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i)
    {
        if (i == skipA || i == skipB)
            continue;
        const QString name = DisplayName(storageName, gsf_infile_name_by_index(storage, i));
        GsfInput* child = gsf_infile_child_by_index(storage, i);
        if (child == nullptr)
            return name;
        QString unreadable;
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0)
            unreadable = FindUnreadableStream(GSF_INFILE(child), name);
        else
        {
            guint8 buffer[4096];
            for (gsf_off_t left = gsf_input_size(child); left > 0 && unreadable.isEmpty();)
            {
                const size_t chunk = size_t(std::min<gsf_off_t>(left, sizeof buffer));
                if (gsf_input_read(child, chunk, buffer) == nullptr)
                    unreadable = name;
                left -= gsf_off_t(chunk);
            }
        }
        g_object_unref(child);
        if (!unreadable.isEmpty())
            return unreadable;
    }
    return QString();
}

// Copies the children of one storage, recursively. The child at skipIndex is left out, the child
// at replaceIndex gets replacement as its bytes. Each child is closed before the next is opened:
// libgsf cannot have two large streams open at once.
bool CopyStorage(GsfInfile* in, GsfOutfile* out, int replaceIndex, const QByteArray* replacement,
                 int skipIndex)
{
    const int count = gsf_infile_num_children(in);
    for (int i = 0; i < count; ++i)
    {
        if (i == skipIndex)
            continue;
        const char* name = gsf_infile_name_by_index(in, i);
        GsfInput* child = gsf_infile_child_by_index(in, i);
        if (child == nullptr)
            return false;
        const bool isStorage = GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
        GsfOutput* outChild = gsf_outfile_new_child(out, name, isStorage);
        bool ok = outChild != nullptr;
        if (ok && isStorage)
        {
            guint8 classId[16];
            if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child), classId))
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(outChild), classId);
            ok = CopyStorage(GSF_INFILE(child), GSF_OUTFILE(outChild), -1, nullptr, -1);
        }
        else if (ok && i == replaceIndex)
            ok = gsf_output_write(outChild, gsf_off_t(replacement->size()),
                                  reinterpret_cast<const guint8*>(replacement->constData()));
        else if (ok)
            ok = gsf_input_copy(child, outChild);
        if (outChild != nullptr)
        {
            ok = gsf_output_close(outChild) && ok;
            g_object_unref(outChild);
        }
        g_object_unref(child);
        if (!ok)
            return false;
    }
    return true;
}
} // namespace

CompoundFile::CompoundFile(const QString& path)
{
    InitGsf();
    const QuietGsf quiet;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CorvaneError("无法打开工作簿:" + path);
    m_bytes = file.readAll();
    file.close();

    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(m_bytes.constData()),
                                           gsf_off_t(m_bytes.size()), FALSE);
    GError* error = nullptr;
    m_root = input != nullptr ? gsf_infile_msole_new(input, &error) : nullptr;
    if (input != nullptr)
        g_object_unref(input); // the infile keeps its own reference
    if (error != nullptr)
        g_error_free(error);
    if (m_root == nullptr)
        throw CorvaneError("不是有效的 Excel 97-2003 工作簿:" + path);

    // Stream names compare without case in compound files; libgsf's lookup by name does not.
    const int count = gsf_infile_num_children(m_root);
    for (int i = 0; i < count; ++i)
    {
        const char* name = gsf_infile_name_by_index(m_root, i);
        if (name != nullptr && g_ascii_strcasecmp(name, "Workbook") == 0 && m_workbookIndex < 0)
            m_workbookIndex = i;
        else if (name != nullptr && g_ascii_strcasecmp(name, "Book") == 0 && m_bookIndex < 0)
            m_bookIndex = i;
    }
    if (m_workbookIndex < 0)
    {
        g_object_unref(m_root);
        m_root = nullptr;
        if (m_bookIndex >= 0)
            throw CorvaneError("不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:" + path);
        throw CorvaneError("不是有效的 Excel 97-2003 工作簿:" + path);
    }
    GsfInput* stream = gsf_infile_child_by_index(m_root, m_workbookIndex);
    bool ok =
        stream != nullptr && !(GSF_IS_INFILE(stream) && gsf_infile_num_children(GSF_INFILE(stream)) >= 0);
    if (ok)
    {
        const gsf_off_t size = gsf_input_size(stream);
        m_workbook.resize(qsizetype(size));
        ok = size == 0 || gsf_input_read(stream, size_t(size), reinterpret_cast<guint8*>(m_workbook.data()));
    }
    if (stream != nullptr)
        g_object_unref(stream);
    if (!ok)
    {
        g_object_unref(m_root);
        m_root = nullptr;
        throw CorvaneError("不是有效的 Excel 97-2003 工作簿:" + path);
    }
    // Every other stream is copied at save; one that cannot be read would fail the save, after
    // all the writes, with nothing left to do about it.
    const QString unreadable = FindUnreadableStream(m_root, QString(), m_workbookIndex, m_bookIndex);
    if (!unreadable.isEmpty())
    {
        g_object_unref(m_root);
        m_root = nullptr;
        throw CorvaneError("工作簿已损坏:" + path + "（无法读取其中的 " + unreadable + " 流）");
    }
}

CompoundFile::~CompoundFile()
{
    if (m_root != nullptr)
        g_object_unref(m_root);
}

void CompoundFile::Save(const QString& path, const QByteArray& workbook) const
{
    const QuietGsf quiet;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CorvaneError("无法保存工作簿:" + path + "（" + file.errorString() + "）");
    // The container is written straight into the file under its temporary name: gathering a large
    // workbook in memory first costs as much as writing it.
    const int handle = dup(file.handle());
    FILE* stream = handle >= 0 ? fdopen(handle, "wb") : nullptr;
    if (stream == nullptr)
    {
        const QString reason = QString::fromLocal8Bit(strerror(errno));
        if (handle >= 0)
            close(handle);
        file.cancelWriting();
        throw CorvaneError("无法保存工作簿:" + path + "（" + reason + "）");
    }
    GsfOutput* sink = gsf_output_stdio_new_FILE(QFile::encodeName(path).constData(), stream, TRUE);
    GsfOutfile* out = gsf_outfile_msole_new(sink);
    guint8 classId[16];
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(m_root), classId))
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out), classId);
    bool ok = CopyStorage(m_root, out, m_workbookIndex, &workbook, m_bookIndex);
    ok = gsf_output_close(GSF_OUTPUT(out)) && ok;
    g_object_unref(out);
    if (!gsf_output_is_closed(sink))
        ok = gsf_output_close(sink) && ok;
    g_object_unref(sink);
    ok = fclose(stream) == 0 && ok;
    if (!ok)
    {
        file.cancelWriting();
        throw CorvaneError("无法保存工作簿:" + path + "（无法写出复合文件）");
    }
    if (!file.commit())
        throw CorvaneError("无法保存工作簿:" + path + "（" + file.errorString() + "）");
}
