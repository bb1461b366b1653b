#pragma once

#include "xls/Workbook.h"

#include <QList>
#include <QLocale>
#include <QStringList>

#include <functional>

#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

// A workbook held in memory that keeps every write, for checking the report writers cell by cell.
// ReadCell answers as the real writer does: "" for an empty cell, a number as its shortest text.
class FakeWorkbook : public Workbook, public SheetCollection
{
public:
    struct Cell
    {
        bool isText = false;
        QString text;
        double number = 0;
    };

    class Sheet : public Worksheet
    {
    public:
        void WriteText(int col, int row, int, const QString& text) override
        {
            Put(col, row, {true, text, 0});
        }
        void WriteNumber(int col, int row, int, double number) override
        {
            Put(col, row, {false, {}, number});
        }
        QString ReadCell(int col, int row) const override
        {
            const auto found = cells.find({col, row});
            if (found == cells.end())
                return {};
            return found->second.isText
                       ? found->second.text
                       : QString::number(found->second.number, 'g', QLocale::FloatingPointShortest);
        }

        // What the template holds before the writers run.
        void Preset(int col, int row, double number) { cells[{col, row}] = {false, {}, number}; }
        void Preset(int col, int row, const QString& text) { cells[{col, row}] = {true, text, 0}; }

        std::map<std::pair<int, int>, Cell> cells;
        std::vector<std::tuple<int, int, Cell>> writes;

    private:
        void Put(int col, int row, const Cell& cell)
        {
            cells[{col, row}] = cell;
            writes.emplace_back(col, row, cell);
        }
    };

    explicit FakeWorkbook(int sheetCount = 5)
    {
        for (int i = 0; i < sheetCount; ++i)
            sheets.push_back(std::make_unique<Sheet>());
    }

    void OpenWorkbook(const QString& path) override { opened << path; }
    SheetCollection& Sheets() override { return *this; }
    void SaveWorkbook(const QString& path) override { saved << path; }
    void CloseWorkbook() override { ++closed; }
    int Count() const override { return int(sheets.size()); }
    Worksheet& SheetAt(int index) override { return *sheets.at(std::size_t(index)); }

    Sheet& At(int index) { return *sheets.at(std::size_t(index)); }
    // The number in a cell; nothing for an empty or text cell.
    std::optional<double> Number(int sheet, int col, int row) const
    {
        const auto& cells = sheets.at(std::size_t(sheet))->cells;
        const auto found = cells.find({col, row});
        if (found == cells.end() || found->second.isText)
            return std::nullopt;
        return found->second.number;
    }
    QString Text(int sheet, int col, int row) const
    {
        return sheets.at(std::size_t(sheet))->ReadCell(col, row);
    }
    // Every cell of every sheet, as "sheet col,row value".
    QStringList AllCells() const
    {
        QStringList all;
        for (std::size_t sheet = 0; sheet < sheets.size(); ++sheet)
            for (const auto& [place, cell] : sheets[sheet]->cells)
                all << QStringLiteral("%1 %2,%3 %4")
                           .arg(sheet)
                           .arg(place.first)
                           .arg(place.second)
                           .arg(cell.isText ? cell.text : QString::number(cell.number, 'g', 17));
        return all;
    }
    bool Written(int sheet, int col, int row) const
    {
        for (const auto& [c, r, cell] : sheets.at(std::size_t(sheet))->writes)
            if (c == col && r == row)
                return true;
        return false;
    }

    std::vector<std::unique_ptr<Sheet>> sheets;
    QStringList opened;
    QStringList saved;
    int closed = 0;
};

// The two workbooks of a run, one after the other, during which another operator's import
// commits: commit() runs when the run opens its second workbook.
class CommittingWorkbook : public FakeWorkbook
{
public:
    explicit CommittingWorkbook(std::function<void()> commit = [] {}) : m_commit(std::move(commit)) {}
    void OpenWorkbook(const QString& path) override
    {
        FakeWorkbook::OpenWorkbook(path);
        if (opened.size() != 2)
            return;
        first = AllCells();
        for (auto& sheet : sheets)
            sheet = std::make_unique<Sheet>();
        m_commit();
    }
    // The cells of both workbooks.
    QStringList BothWorkbooks() const { return first + AllCells(); }

    QStringList first;

private:
    std::function<void()> m_commit;
};
