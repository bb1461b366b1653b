#include "reports/ReportCells.h"

#include "services/CorvaneError.h"
#include "services/PlanYears.h"
#include "xls/Workbook.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <tuple>

namespace
{
constexpr int kLastRow = 65535;

// Adds one in the last place of a string of decimal digits; true when a digit was carried out.
bool IncrementDigits(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it)
    {
        if (*it != '9')
        {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

// A sum of amounts carries noise in its last bits that depends on the order in which the engine
// added the rows, so the same rows could give 1800.03 or 1800.0300000000002. Fifteen significant
// digits keep every value the files can hold and drop that noise.
double WithoutSumNoise(double value)
{
    if (!std::isfinite(value))
        return value;
    // Most values are the double nearest a decimal of at most four places and fifteen digits,
    // which the rounding gives back unchanged; that test costs far less than the text round trip.
    const double tenThousandths = std::nearbyint(value * 10000.0);
    if (std::fabs(tenThousandths) < 1e15 && tenThousandths / 10000.0 == value)
        return value;
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    double rounded = value;
    std::from_chars(buffer, written.ptr, rounded);
    return rounded;
}
} // namespace

std::optional<double> NumberOf(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId())
    {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toDouble();
    case QMetaType::Double:
        return WithoutSumNoise(value.toDouble());
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw CorvaneError(QStringLiteral("不是数字:") + text);
    return number;
}

int CodeOf(const QVariant& value)
{
    const std::optional<double> number = NumberOf(value);
    return number && std::fabs(*number) < 1e9 && *number == std::trunc(*number) ? int(*number) : kNoCode;
}

int PlanYearIndex(const QVariant& year)
{
    const int code = CodeOf(year);
    return code >= kFirstPlanYear && code < kFirstPlanYear + kPlanYearCount ? code - kFirstPlanYear : kNoCode;
}

std::optional<double> SumOf(std::initializer_list<QVariant> values)
{
    std::optional<double> sum;
    for (const QVariant& value : values)
        if (const std::optional<double> number = NumberOf(value))
            sum = sum.value_or(0.0) + *number;
    return sum;
}

QString FormatDecimal(double value, int shift, int decimals, Rounding rounding)
{
    if (!std::isfinite(value))
        throw CorvaneError(QStringLiteral("不是有限的数"));
    // The shortest text that reads back as value is the decimal the value stands for.
    char buffer[400];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, written.ptr);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.erase(0, 1);
    const std::size_t point = text.find('.');
    std::string digits = point == std::string::npos ? text : text.substr(0, point) + text.substr(point + 1);
    std::size_t integerDigits = (point == std::string::npos ? text.size() : point) + std::size_t(shift);

    const std::size_t keep = integerDigits + std::size_t(decimals);
    if (digits.size() < keep)
        digits.append(keep - digits.size(), '0');
    std::string kept = digits.substr(0, keep);
    const std::string rest = digits.substr(keep);
    bool up = false;
    if (!rest.empty() && rest.front() >= '5')
    {
        const bool beyondHalf = rest.front() > '5' || rest.find_first_not_of('0', 1) != std::string::npos;
        const bool lastOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
        up = beyondHalf || rounding == Rounding::HalfAwayFromZero || lastOdd;
    }
    if (up && IncrementDigits(kept))
    {
        kept.insert(kept.begin(), '1');
        ++integerDigits;
    }

    std::string integer = kept.substr(0, integerDigits);
    const std::size_t firstDigit = integer.find_first_not_of('0');
    integer = firstDigit == std::string::npos ? "0" : integer.substr(firstDigit);
    const std::string fraction = kept.substr(integerDigits);
    std::string result = integer;
    if (decimals > 0)
        result += '.' + fraction;
    if (negative && kept.find_first_not_of('0') != std::string::npos)
        result.insert(result.begin(), '-');
    return QString::fromLatin1(result.data(), qsizetype(result.size()));
}

double CurrencyAmount(double value)
{
    // Most amounts are far from a tie at the fifth decimal: the integer nearest value × 10⁴ is then
    // the answer, and dividing it by 10⁴ gives the double nearest that decimal.
    if (std::fabs(value) < 1e11)
    {
        const double scaled = value * 10000.0;
        const double nearest = std::nearbyint(scaled);
        if (std::fabs(std::fabs(scaled - nearest) - 0.5) > 1e-3)
            return nearest / 10000.0;
    }
    return FormatDecimal(value, 0, 4, Rounding::HalfEven).toDouble();
}

QString PercentText(double quotient)
{
    return FormatDecimal(quotient, 2, 2, Rounding::HalfAwayFromZero) + QLatin1Char('%');
}

double ToAmount(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return 0.0;
    // Each add outside CellSums reads its cell back: std::from_chars is many times faster than
    // QString's parser.
    char ascii[64];
    double number = 0.0;
    bool ok = trimmed.size() < qsizetype(sizeof ascii);
    for (qsizetype i = 0; ok && i < trimmed.size(); ++i)
    {
        const char16_t ch = trimmed[i].unicode();
        ok = ch < 0x80;
        ascii[i] = char(ch);
    }
    if (ok)
    {
        const char* begin = ascii + (ascii[0] == '+' ? 1 : 0);
        const char* end = ascii + trimmed.size();
        const auto parsed = std::from_chars(begin, end, number);
        ok = parsed.ec == std::errc() && parsed.ptr == end && std::isfinite(number);
    }
    if (!ok)
        throw CorvaneError(QStringLiteral("单元格内容不是数字:") + text);
    return CurrencyAmount(number);
}

void AddToCell(Worksheet& sheet, int col, int row, double value)
{
    const QString held = sheet.ReadCell(col, row);
    const double sum = held.isEmpty() ? value : value + ToAmount(held);
    sheet.WriteNumber(col, row, 0, CurrencyAmount(sum));
}

void CutTexts::Add(int sheetIndex, int col, int row, const QString& project)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_cuts.push_back({sheetIndex, row, col, project});
}

QString CutTexts::Message(const QString& title) const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_cuts.empty())
        return QString();
    std::vector<Cut> cuts = m_cuts;
    std::sort(cuts.begin(), cuts.end(),
              [](const Cut& a, const Cut& b)
              { return std::tie(a.sheet, a.row, a.col) < std::tie(b.sheet, b.row, b.col); });
    QString message = title + QStringLiteral(":以下单元格的文本超过 32767 个字符，只写入了前 32767 个字符:");
    // A message box of thousands of lines would hide the rest; the first cells show the pattern.
    constexpr size_t kShown = 20;
    for (size_t k = 0; k < std::min(cuts.size(), kShown); ++k)
    {
        const Cut& cut = cuts[k];
        message += QStringLiteral("\n第%1张工作表 %2").arg(cut.sheet + 1).arg(CellName(cut.col, cut.row));
        if (!cut.project.isEmpty())
            message += QStringLiteral("（项目 ") + cut.project + QStringLiteral("）");
    }
    if (cuts.size() > kShown)
        message += QStringLiteral("\n……共 %1 个单元格").arg(cuts.size());
    return message;
}

ReportSheet::ReportSheet(Workbook& workbook, int index, CutTexts* cuts)
    : m_sheet(workbook.Sheets().SheetAt(index)), m_index(index), m_cuts(cuts)
{
}

void ReportSheet::Fail(int col, int row, const QString& problem) const
{
    throw CorvaneError(QStringLiteral("第%1张工作表 %2:").arg(m_index + 1).arg(CellName(col, row)) + problem);
}

template <typename Write> void ReportSheet::Guarded(int col, int row, Write write)
{
    CheckRow(row);
    try
    {
        write();
    }
    catch (const CorvaneError& error)
    {
        Fail(col, row, error.Message());
    }
}

std::optional<double> ReportSheet::NumberFor(int col, int row, const QVariant& value)
{
    std::optional<double> number;
    Guarded(col, row, [&] { number = NumberOf(value); });
    return number;
}

double ReportSheet::AmountIn(int col, int row)
{
    double amount = 0;
    Guarded(col, row, [&] { amount = ToAmount(m_sheet.ReadCell(col, row)); });
    return amount;
}

void ReportSheet::CheckRow(int row) const
{
    if (row > kLastRow)
        throw CorvaneError(
            QStringLiteral("第%1张工作表需要写到第%2行，超过了 Excel 97-2003 工作表最多 65536 行的限制")
                .arg(m_index + 1)
                .arg(row + 1));
}

void ReportSheet::Text(int col, int row, const QString& text)
{
    if (m_cuts == nullptr || text.size() <= kMaxCellText)
        return Guarded(col, row, [&] { m_sheet.WriteText(col, row, 0, text); });
    // A character outside the basic plane is kept whole or not at all.
    const qsizetype kept = text[kMaxCellText - 1].isHighSurrogate() ? kMaxCellText - 1 : kMaxCellText;
    Guarded(col, row, [&] { m_sheet.WriteText(col, row, 0, text.left(kept)); });
    m_cuts->Add(m_index, col, row, m_project);
}

void ReportSheet::Text(int col, int row, const QVariant& value)
{
    if (!value.isNull())
        Text(col, row, value.toString());
}

void ReportSheet::Number(int col, int row, const QVariant& value)
{
    Number(col, row, NumberFor(col, row, value));
}

void ReportSheet::Number(int col, int row, std::optional<double> value)
{
    if (value)
        Guarded(col, row, [&] { m_sheet.WriteNumber(col, row, 0, *value); });
}

void ReportSheet::Amount(int col, int row, const QVariant& value)
{
    Amount(col, row, NumberFor(col, row, value));
}

void ReportSheet::Amount(int col, int row, std::optional<double> value)
{
    if (value)
        Guarded(col, row, [&] { m_sheet.WriteNumber(col, row, 0, CurrencyAmount(*value)); });
}

void ReportSheet::Add(int col, int row, const QVariant& value)
{
    Add(col, row, NumberFor(col, row, value));
}

void ReportSheet::Add(int col, int row, std::optional<double> value)
{
    if (value)
        Guarded(col, row, [&] { AddToCell(m_sheet, col, row, *value); });
}

void CellSums::Add(int col, int row, const QVariant& value)
{
    Add(col, row, m_sheet.NumberFor(col, row, value));
}

void CellSums::Add(int col, int row, std::optional<double> value)
{
    if (!value)
        return;
    const std::pair<int, int> cell(col, row);
    auto found = m_sums.find(cell);
    // The first add reads what the template holds; later ones continue from the rounded sum,
    // which is what the cell would hold after each add.
    if (found == m_sums.end())
        found = m_sums.emplace(cell, m_sheet.AmountIn(col, row)).first;
    found->second = CurrencyAmount(found->second + *value);
}

void CellSums::Flush()
{
    for (const auto& [cell, sum] : m_sums)
        m_sheet.Amount(cell.first, cell.second, std::optional<double>(sum));
    m_sums.clear();
}
