#include "xls/CellValue.h"
#include "support/CaseName.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace
{
struct RkCase
{
    quint32 rk;
    double value;
    friend void PrintTo(const RkCase& c, std::ostream* out)
    {
        *out << std::hex << c.rk << std::dec << " -> " << c.value;
    }
};

class DecodeRk : public ::testing::TestWithParam<RkCase>
{
};

TEST_P(DecodeRk, GivesTheNumberThatXlrdReads)
{
    EXPECT_EQ(::DecodeRk(GetParam().rk), GetParam().value);
}

// Integer RKs shift arithmetically (negative numbers stay negative); bit 0 divides by 100 (times
// 0.01 misses 0.57 by one bit, so values compare exactly); float RKs hold the top 30 bits.
INSTANTIATE_TEST_SUITE_P(
    Codes, DecodeRk,
    ::testing::Values(RkCase{0x00000002u, 0}, RkCase{(100u << 2) | 2, 100}, RkCase{quint32(-7 << 2) | 2, -7},
                      RkCase{(1234u << 2) | 3, 12.34}, RkCase{(57u << 2) | 3, 0.57},
                      RkCase{quint32(-725 << 2) | 3, -7.25}, RkCase{0x3FF00000u, 1.0},
                      RkCase{0x3FF00001u, 0.01}, RkCase{0xC0040000u, -2.5}, RkCase{0x405EC000u, 123.0},
                      RkCase{0x7FFFFFFEu, 536870911}, RkCase{0x80000002u, -536870912}),
    [](const ::testing::TestParamInfo<RkCase>& c)
    { return QStringLiteral("Rk%1").arg(c.param.rk, 8, 16, QLatin1Char('0')).toStdString(); });

struct NumberCase
{
    double value;
    const char* text;
    friend void PrintTo(const NumberCase& c, std::ostream* out) { *out << c.text; }
};

class FormatCellNumber : public ::testing::TestWithParam<NumberCase>
{
};

// The expected texts are the shortest that read back as the same double (0.1 + 0.2 needs 17
// digits); the locales use a decimal comma, group separators or both.
TEST_P(FormatCellNumber, WritesPlainDecimalTextWhateverTheLocale)
{
    for (const char* name : {"C", "de_DE", "zh_CN"})
    {
        QLocale::setDefault(QLocale(name));
        EXPECT_EQ(::FormatCellNumber(GetParam().value).toStdString(), GetParam().text) << name;
    }
    QLocale::setDefault(QLocale::c());
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatCellNumber,
    ::testing::Values(NumberCase{0.1, "0.1"}, NumberCase{118, "118"}, NumberCase{-7.25, "-7.25"},
                      NumberCase{100000, "100000"}, NumberCase{1234567.5, "1234567.5"},
                      NumberCase{0.1 + 0.2, "0.30000000000000004"}, NumberCase{1e20, "100000000000000000000"},
                      NumberCase{1e21, "1e+21"}, NumberCase{0.000001, "0.000001"},
                      NumberCase{2.5e-7, "2.5e-07"}, NumberCase{-0.0, "0"},
                      NumberCase{12345678.1234, "12345678.1234"}),
    [](const ::testing::TestParamInfo<NumberCase>& c) { return TestName({c.param.text}); });
} // namespace
