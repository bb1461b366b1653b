// libFuzzer target: an input is a workbook. It is opened, a few cells chosen by the input's last
// bytes are written on every sheet that holds cells, the workbook is saved, reopened, and every
// write is read back. A crash, a sanitizer report, an exception other than CorvaneError, or a
// write that does not read back is a finding.
#include "services/CorvaneError.h"
#include "xls/XlsWorkbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
std::unique_ptr<QTemporaryDir> Dir;

struct Write
{
    int sheet;
    int col;
    int row;
    QString text; // what ReadCell must give back
};

// Writes cells on each sheet; the positions come from the input so that the fuzzer reaches
// every kind of record the cells land among.
std::vector<Write> WriteCells(Workbook& book, const uint8_t* data, size_t size)
{
    std::vector<Write> writes;
    const int sheets = book.Sheets().Count();
    for (int sheet = 0; sheet < sheets; ++sheet)
    {
        Worksheet* target = nullptr;
        try
        {
            target = &book.Sheets().SheetAt(sheet);
        }
        catch (const CorvaneError&)
        {
            continue; // a chart or macro sheet
        }
        for (int i = 0; i < 8; ++i)
        {
            const size_t at = (size_t(sheet) * 8 + size_t(i)) * 3;
            const uint8_t a = size > at ? data[size - 1 - at] : uint8_t(i);
            const uint8_t b = size > at + 1 ? data[size - 2 - at] : uint8_t(i * 7);
            const uint8_t c = size > at + 2 ? data[size - 3 - at] : uint8_t(i * 13);
            const int col = a % 32;
            const int row = (b | (c << 8)) % 1500;
            try
            {
                if (c & 1)
                {
                    const double number = double(b) * 1000.0 + double(a) / 4.0;
                    target->WriteNumber(col, row, 0, number);
                    writes.push_back({sheet, col, row, target->ReadCell(col, row)});
                }
                else
                {
                    const QString text = QStringLiteral("写入%1-%2").arg(col).arg(row);
                    target->WriteText(col, row, 0, text);
                    writes.push_back({sheet, col, row, text});
                }
            }
            catch (const CorvaneError&)
            {
                // e.g. the anchor of a shared formula: refused by design.
            }
        }
    }
    return writes;
}
} // namespace

static void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
static void QuietPrint(const gchar*) {}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The compound-file reader warns about every damaged input on stderr; the log would drown.
    g_log_set_default_handler(Quiet, nullptr);
    g_set_printerr_handler(QuietPrint);
    // Never destroyed: the fuzzer leaves through exit(), after which Qt cannot be torn down safely.
    new QCoreApplication(*argc, *argv);
    Dir = std::make_unique<QTemporaryDir>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = Dir->filePath(QStringLiteral("in.xls"));
    const QString output = Dir->filePath(QStringLiteral("out.xls"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    std::vector<Write> writes;
    try
    {
        XlsWorkbook book;
        book.OpenWorkbook(input);
        writes = WriteCells(book, data, size);
        book.SaveWorkbook(output);
        book.CloseWorkbook();
    }
    catch (const CorvaneError&)
    {
        return 0; // refused or not saved, with a message: not a finding
    }
    XlsWorkbook reopened;
    try
    {
        reopened.OpenWorkbook(output);
    }
    catch (const CorvaneError& error)
    {
        std::fprintf(stderr, "saved workbook does not reopen: %s\n", qPrintable(error.Message()));
        std::abort();
    }
    for (const Write& write : writes)
    {
        const QString read = reopened.Sheets().SheetAt(write.sheet).ReadCell(write.col, write.row);
        if (read != write.text)
        {
            std::fprintf(stderr, "sheet %d cell (%d,%d): wrote \"%s\", read back \"%s\"\n", write.sheet,
                         write.col, write.row, qPrintable(write.text), qPrintable(read));
            std::abort();
        }
    }
    return 0;
}
