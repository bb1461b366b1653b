#include "xls/Workbook.h"

class SerializedWorkbook::Sheet : public Worksheet
{
public:
    Sheet(Worksheet& sheet, std::mutex& lock) : m_sheet(sheet), m_lock(lock) {}

    void WriteText(int col, int row, int format, const QString& text) override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_sheet.WriteText(col, row, format, text);
    }
    void WriteNumber(int col, int row, int format, double number) override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_sheet.WriteNumber(col, row, format, number);
    }
    QString ReadCell(int col, int row) const override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_sheet.ReadCell(col, row);
    }
    bool Wraps(const Worksheet& sheet) const { return &m_sheet == &sheet; }

private:
    Worksheet& m_sheet;
    std::mutex& m_lock;
};

SerializedWorkbook::SerializedWorkbook(Workbook& workbook) : m_workbook(workbook) {}

SerializedWorkbook::~SerializedWorkbook() = default;

void SerializedWorkbook::OpenWorkbook(const QString& path)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_sheets.clear();
    m_workbook.OpenWorkbook(path);
}

void SerializedWorkbook::SaveWorkbook(const QString& path)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_workbook.SaveWorkbook(path);
}

void SerializedWorkbook::CloseWorkbook()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_sheets.clear();
    m_workbook.CloseWorkbook();
}

int SerializedWorkbook::Count() const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_workbook.Sheets().Count();
}

Worksheet& SerializedWorkbook::SheetAt(int index)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    Worksheet& sheet = m_workbook.Sheets().SheetAt(index);
    for (const auto& wrapped : m_sheets)
        if (wrapped->Wraps(sheet))
            return *wrapped;
    m_sheets.push_back(std::make_unique<Sheet>(sheet, m_lock));
    return *m_sheets.back();
}
