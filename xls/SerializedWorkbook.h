#pragma once

#include "xls/Workbook.h"

#include <memory>
#include <mutex>
#include <vector>

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
