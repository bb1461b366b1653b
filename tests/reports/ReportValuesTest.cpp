#include "reports/ReportCells.h"

#include "FakeWorkbook.h"
#include "xls/XlsTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{
struct AmountCase
{
    const char* name;
    const char* text;
    double expected;
    friend void PrintTo(const AmountCase& c, std::ostream* out) { *out << c.name; }
};

class ToAmountReads : public ::testing::TestWithParam<AmountCase>
{
};

TEST_P(ToAmountReads, TextAsFourDecimalCurrency)
{
    EXPECT_EQ(ToAmount(QString::fromUtf8(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, ToAmountReads,
                         ::testing::Values(AmountCase{"Empty", "", 0.0}, AmountCase{"Integer", "42", 42.0},
                                           AmountCase{"Negative", "-12.5", -12.5},
                                           AmountCase{"TieRoundsUpToEven", "1.23455", 1.2346},
                                           AmountCase{"TieRoundsDownToEven", "1.23445", 1.2344},
                                           AmountCase{"TieAtZero", "0.00005", 0.0},
                                           AmountCase{"AboveTie", "0.000051", 0.0001},
                                           AmountCase{"CarryIntoIntegerPart", "9.99995", 10.0},
                                           AmountCase{"Exponent", "1.5e3", 1500.0},
                                           AmountCase{"Blanks", " 7.25 ", 7.25}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ToAmount, RefusesTextThatIsNotANumber)
{
    for (const char* text : {"abc", "12元", "1,234.5", "nan", "inf", "--1"})
        EXPECT_EQ(ThrownMessage([&] { ToAmount(QString::fromUtf8(text)); }),
                  QStringLiteral("单元格内容不是数字:") + QString::fromUtf8(text))
            << text;
}

struct PercentCase
{
    const char* name;
    double count;
    double total;
    const char* expected;
    friend void PrintTo(const PercentCase& c, std::ostream* out) { *out << c.name; }
};

class PercentTextShows : public ::testing::TestWithParam<PercentCase>
{
};

TEST_P(PercentTextShows, TwoDecimalsHalfAwayFromZero)
{
    EXPECT_EQ(PercentText(GetParam().count / GetParam().total), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Quotients, PercentTextShows,
    ::testing::Values(PercentCase{"OneThird", 1, 3, "33.33%"}, PercentCase{"TwoThirds", 2, 3, "66.67%"},
                      PercentCase{"OneEighth", 1, 8, "12.50%"}, PercentCase{"All", 5, 5, "100.00%"},
                      PercentCase{"None", 0, 7, "0.00%"}, PercentCase{"TieGoesAway", 1, 800, "0.13%"},
                      PercentCase{"TieOnDecimalNotBinary", 201, 20000, "1.01%"},
                      PercentCase{"BelowTie", 1, 8000, "0.01%"},
                      PercentCase{"SummedTotals", 10, 400, "2.50%"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(CurrencyAmount, RoundsHalfToEvenOnTheDecimalValue)
{
    EXPECT_EQ(CurrencyAmount(2.00005), 2.0);
    EXPECT_EQ(CurrencyAmount(2.00015), 2.0002);
    EXPECT_EQ(CurrencyAmount(-2.00015), -2.0002);
    EXPECT_EQ(CurrencyAmount(0.1 + 0.2), 0.3);
    EXPECT_EQ(CurrencyAmount(123456789012.34567), 123456789012.3457);
}

// A double read from the database keeps fifteen significant digits, however it was summed: the
// quick answer for values that are already short decimals must agree with the full rounding.
TEST(NumberOf, KeepsFifteenSignificantDigitsOfADouble)
{
    std::mt19937_64 random(2010);
    std::uniform_int_distribution<qint64> cents(-999'999'999'999, 999'999'999'999);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1800.03,
                                  0.1 + 0.2,
                                  1e-7,
                                  123456789012.3456,
                                  99999999999.99995,
                                  1e15 / 10000.0,
                                  9.99999999999999e14,
                                  4503599627370496.5,
                                  -2.00015};
    for (int i = 0; i < 20000; ++i)
    {
        const qint64 amount = cents(random) >> (random() % 40);
        values.push_back(double(amount) / 100.0);
        values.push_back(double(amount) / 10000.0);
        values.push_back(double(amount) / 100.0 + 0.07 + double(amount % 997) / 100.0);
        values.push_back(double(amount) * 1e-9);
    }
    for (const double value : values)
    {
        const double expected = QString::number(value, 'g', 15).toDouble();
        const std::optional<double> number = NumberOf(QVariant(value));
        ASSERT_TRUE(number.has_value());
        ASSERT_EQ(*number, expected) << QString::number(value, 'g', 17).toStdString();
    }
}

TEST(AddToCell, AddsToTheTemplateNumberAndToEarlierAdds)
{
    FakeWorkbook book(1);
    book.At(0).Preset(2, 3, 1.5);
    AddToCell(book.At(0), 2, 3, 2.25);
    AddToCell(book.At(0), 2, 3, 0.00004);
    AddToCell(book.At(0), 4, 4, 7);
    EXPECT_EQ(book.Number(0, 2, 3), 3.75);
    EXPECT_EQ(book.Number(0, 4, 4), 7.0);
}

TEST(ReportSheet, NamesTheSheetAndCellOfAValueItCannotAddTo)
{
    FakeWorkbook book(3);
    book.At(2).Preset(27, 9, QStringLiteral("—"));
    ReportSheet sheet(book, 2);
    EXPECT_EQ(ThrownMessage([&] { sheet.Add(27, 9, QVariant(1.0)); }),
              QStringLiteral("第3张工作表 AB10:单元格内容不是数字:—"));
}

TEST(ReportSheet, NullWritesAndAddsNothing)
{
    FakeWorkbook book(1);
    ReportSheet sheet(book, 0);
    sheet.Text(0, 0, QVariant());
    sheet.Number(1, 0, QVariant());
    sheet.Amount(2, 0, QVariant());
    sheet.Add(3, 0, QVariant());
    sheet.Amount(4, 0, SumOf({QVariant(), QVariant()}));
    EXPECT_TRUE(book.At(0).writes.empty());
    EXPECT_EQ(SumOf({QVariant(), QVariant(2.5), QVariant(1)}), 3.5);
}

TEST(ReportSheet, NamesTheFirst20CutTextsAndCountsTheRest)
{
    FakeWorkbook book(1);
    CutTexts cuts;
    ReportSheet sheet(book, 0, &cuts);
    for (int row = 21; row >= 0; --row)
    {
        sheet.SetProject(QStringLiteral("P%1").arg(row));
        sheet.Text(1, row, QString(32768, 'x'));
    }
    EXPECT_EQ(book.Text(0, 1, 0).size(), 32767);
    const QStringList lines = cuts.Message(QStringLiteral("表")).split('\n');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[1], QStringLiteral("第1张工作表 B1（项目 P0）"));
    EXPECT_EQ(lines[20], QStringLiteral("第1张工作表 B20（项目 P19）"));
    EXPECT_EQ(lines[21], QStringLiteral("……共 22 个单元格"));
}

TEST(ReportSheet, RefusesARowPastTheFormatsLastRow)
{
    FakeWorkbook book(5);
    ReportSheet sheet(book, 4);
    EXPECT_NO_THROW(sheet.Number(0, 65535, QVariant(1)));
    EXPECT_EQ(ThrownMessage([&] { sheet.Number(0, 65536, QVariant(1)); }),
              QStringLiteral("第5张工作表需要写到第65537行，超过了 Excel 97-2003 工作表最多 65536 行的限制"));
}
} // namespace
