#pragma once

#include <QByteArray>
#include <QString>

typedef struct _GsfInfile GsfInfile;

// An OLE2 compound file holding an Excel 97-2003 workbook, read whole into memory. The Workbook
// stream is handed out for editing; on save every other stream and storage is copied unchanged
// (with the class ids of all storages) and the edited Workbook stream takes the old one's place.
// A "Book" stream (the Excel 5.0/95 copy of a dual-format file) is left out, so that no program
// shows the unfilled template.
class CompoundFile
{
public:
    // Reads the file at path. Throws CorvaneError "无法打开工作簿:" + path when the file cannot be
    // read, "不是有效的 Excel 97-2003 工作簿:" + path when it is no compound file or holds no
    // workbook, "不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:" + path when it holds only
    // a "Book" stream, and "工作簿已损坏:" + path + the stream's name when another stream, which
    // the save would copy, cannot be read whole.
    explicit CompoundFile(const QString& path);
    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    const QByteArray& WorkbookStream() const { return m_workbook; }

    // Writes a compound file with workbook as its Workbook stream to a temporary file beside path
    // and renames it over path. Throws CorvaneError "无法保存工作簿:" + path + a reason when the
    // file cannot be written; path is then left as it was.
    void Save(const QString& path, const QByteArray& workbook) const;

private:
    QByteArray m_bytes; // the whole file; the libgsf input reads from it
    QByteArray m_workbook;
    GsfInfile* m_root = nullptr;
    int m_workbookIndex = -1;
    int m_bookIndex = -1;
};
