#pragma once

#include <QString>
#include <QVariant>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

class Workbook;
class Worksheet;

// A database value as a number: nothing for NULL, the number for a numeric value or a text that
// reads as one. Throws CorvaneError "不是数字:" + text for any other text.
std::optional<double> NumberOf(const QVariant& value);

// A code read from the database (a class, type, status or year) as an integer; kNoCode for NULL
// or a value that is not a whole number.
constexpr int kNoCode = -1;
int CodeOf(const QVariant& value);

// A plan year (kFirstPlanYear on) as 0 to kPlanYearCount - 1; kNoCode for any other year.
int PlanYearIndex(const QVariant& year);

// The sum of several values, NULL parts counting as 0; nothing when all are NULL.
std::optional<double> SumOf(std::initializer_list<QVariant> values);

// value × 10^shift as fixed decimal text with exactly `decimals` digits after the point, rounded
// on the shortest decimal form of value, so that 0.125 stays a tie. Ties go to the even digit or
// away from zero.
enum class Rounding
{
    HalfEven,
    HalfAwayFromZero,
};
QString FormatDecimal(double value, int shift, int decimals, Rounding rounding);

// A number as a currency amount: rounded half to even at four decimals.
double CurrencyAmount(double value);

// A text read back from a cell as a currency amount: 0 for "", else the number rounded half to
// even at four decimals. Throws CorvaneError for a text that is not a number.
double ToAmount(const QString& text);

// Adds value to the number in the cell (the template's or one written before) and writes the sum
// as an amount.
void AddToCell(Worksheet& sheet, int col, int row, double value);

// The quotient as "0.00%" shows it: times 100, two decimals, half away from zero, then "%".
QString PercentText(double quotient);

// The cells of one workbook whose text was longer than a cell holds and was cut to its first
// 32767 characters, gathered from the threads that write it and named in one message.
class CutTexts
{
public:
    void Add(int sheetIndex, int col, int row, const QString& project);
    // Empty when no text was cut; otherwise the workbook's title, the lead
    // ":以下单元格的文本超过 32767 个字符，只写入了前 32767 个字符:"
    // and a line per cell such as "第5张工作表 A6（项目 P1）", in sheet and row order; past 20
    // cells, the first 20 and "……共 N 个单元格".
    QString Message(const QString& title) const;

private:
    struct Cut
    {
        int sheet, row, col;
        QString project;
    };
    mutable std::mutex m_lock;
    std::vector<Cut> m_cuts;
};

// One sheet of the workbook being filled, with the report's writing rules: NULL writes and adds
// nothing, amounts are rounded as currency, and every failure names the sheet and the cell.
class ReportSheet
{
public:
    // Takes sheet index of the open workbook. With cuts, a text longer than a cell holds is cut
    // and noted there; without, it fails.
    ReportSheet(Workbook& workbook, int index, CutTexts* cuts = nullptr);

    // The project the cells written next belong to, named when one of their texts is cut.
    void SetProject(const QString& projectid) { m_project = projectid; }

    void Text(int col, int row, const QString& text);
    // The value as text; NULL writes nothing.
    void Text(int col, int row, const QVariant& value);
    // The value as a number; NULL writes nothing.
    void Number(int col, int row, const QVariant& value);
    void Number(int col, int row, std::optional<double> value);
    // The value as a currency amount; NULL writes nothing.
    void Amount(int col, int row, const QVariant& value);
    void Amount(int col, int row, std::optional<double> value);
    // Adds the value to the number the cell holds (AddToCell); NULL adds nothing.
    void Add(int col, int row, const QVariant& value);
    void Add(int col, int row, std::optional<double> value);

    // The value as a number for that cell (NumberOf), a failure naming the cell.
    std::optional<double> NumberFor(int col, int row, const QVariant& value);
    // The number the cell holds as a currency amount (0 when empty), as an add reads it.
    double AmountIn(int col, int row);

    // Throws a clear message when row lies past the last row a sheet of the format can hold.
    void CheckRow(int row) const;

    int Index() const { return m_index; }

private:
    [[noreturn]] void Fail(int col, int row, const QString& problem) const;
    template <typename Write> void Guarded(int col, int row, Write write);

    Worksheet& m_sheet;
    int m_index;
    CutTexts* m_cuts;
    QString m_project;
};

// Adds to cells of one sheet kept in memory and written once by Flush(): the same result as an
// add per value, without reading the cell back for each. Only for cells that nothing else writes
// until the flush.
class CellSums
{
public:
    explicit CellSums(ReportSheet& sheet) : m_sheet(sheet) {}

    void Add(int col, int row, const QVariant& value);
    void Add(int col, int row, std::optional<double> value);
    // Writes every cell added to as an amount.
    void Flush();

private:
    ReportSheet& m_sheet;
    std::map<std::pair<int, int>, double> m_sums;
};
