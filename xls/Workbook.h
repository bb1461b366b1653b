#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

// The operations that report writers use to fill a workbook copied from a template. Rows and
// columns count from 0; the format argument is accepted for every write and changes nothing,
// because a written cell keeps the template's format. Every operation throws CorvaneError with
// a message for the operator when it cannot do what it is asked.

// The most characters a cell holds.
constexpr int kMaxCellText = 32767;

// "A1" style name of a cell, for messages.
inline QString CellName(int col, int row)
{
    QString letters;
    for (int n = col + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters + QString::number(row + 1);
}

// One worksheet of an open workbook.
class Worksheet
{
public:
    virtual ~Worksheet() = default;

    // Stores text in the cell (col 0-255, row 0-65535). Empty text leaves the cell blank but keeps
    // its format. Throws for a position out of range, a text over 32767 characters, or a cell
    // that anchors a shared or array formula of the template.
    virtual void WriteText(int col, int row, int format, const QString& text) = 0;

    // Stores a number in the cell; the same limits as WriteText.
    virtual void WriteNumber(int col, int row, int format, double number) = 0;

    // The cell's value as text: "" for an empty or blank cell, a number as plain decimal text
    // ("." as decimal point, no separators, enough digits to read back the same double), a
    // text as it is, and the cached result of a formula.
    virtual QString ReadCell(int col, int row) const = 0;
};

// The worksheets of an open workbook, in tab order.
class SheetCollection
{
public:
    virtual ~SheetCollection() = default;

    // The number of sheets, hidden ones and chart sheets included.
    virtual int Count() const = 0;

    // The sheet at index (0 = first); the same object on every call while the workbook is open.
    // Throws for an index out of range or a sheet that holds no cells (a chart or macro sheet).
    virtual Worksheet& SheetAt(int index) = 0;
};

// A workbook opened for filling: open, write through the sheets, save, close.
class Workbook
{
public:
    virtual ~Workbook() = default;

    // Makes the file at path the workbook being written. Throws when the file cannot be read or
    // is not an Excel 97-2003 workbook (an older format, an encrypted file, another format).
    virtual void OpenWorkbook(const QString& path) = 0;

    // The sheets of the open workbook. Throws when no workbook is open.
    virtual SheetCollection& Sheets() = 0;

    // Stores the workbook with every write at path, replacing the file there only when the whole
    // file has been written. Throws when no workbook is open or the file cannot be written.
    virtual void SaveWorkbook(const QString& path) = 0;

    // Lets go of the workbook; unsaved writes are dropped. Does nothing when none is open.
    virtual void CloseWorkbook() = 0;
};

// Lets writers on two threads fill different sheets of one workbook: every operation on the
// workbook or its sheets takes one lock, so the workbook underneath sees one call at a time.
class SerializedWorkbook : public Workbook, public SheetCollection
{
public:
    explicit SerializedWorkbook(Workbook& workbook);
    ~SerializedWorkbook() override;

    void OpenWorkbook(const QString& path) override;
    SheetCollection& Sheets() override { return *this; }
    void SaveWorkbook(const QString& path) override;
    void CloseWorkbook() override;
    int Count() const override;
    Worksheet& SheetAt(int index) override;

private:
    class Sheet;
    Workbook& m_workbook;
    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
};
