// Fills 50,000 rows x 20 columns of the project-list sheet of the fund-demand template (texts in
// the first three columns, numbers in the others), reads back every tenth cell, saves, and prints
// the wall time and the peak resident memory.
//
//   corvane-bench-xls [TEMPLATE] [OUTPUT]

#include "services/CorvaneError.h"
#include "xls/XlsWorkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString templatePath =
        args.size() > 1 ? args[1] : QString(CORVANE_TEMPLATE_DIR) + "/十一五资金需求汇总表.xls";
    QTemporaryDir dir;
    const QString output = args.size() > 2 ? args[2] : dir.filePath("bench.xls");
    const QStringList classes = {"古建、石窟（石刻）、近现代保护类", "考古发掘类", "博物馆类"};
    const int rows = 50000;
    const int cols = 20;
    try
    {
        QElapsedTimer timer;
        timer.start();
        XlsWorkbook workbook;
        workbook.OpenWorkbook(templatePath);
        Worksheet& sheet = workbook.Sheets().SheetAt(4);
        qint64 reads = 0;
        qint64 cells = 0;
        for (int row = 4; row < 4 + rows; ++row)
            for (int col = 0; col < cols; ++col)
            {
                if (col == 0)
                    sheet.WriteText(col, row, 0,
                                    QString::number(row - 3) + "、项目 [ 单位 " + QString::number(row % 997) +
                                        " ]");
                else if (col < 3)
                    sheet.WriteText(col, row, 0, classes[(row + col) % classes.size()]);
                else
                    sheet.WriteNumber(col, row, 0, row * 0.25 + col);
                if (++cells % 10 == 0)
                    reads += sheet.ReadCell(col, row).size();
            }
        const qint64 filled = timer.elapsed();
        workbook.SaveWorkbook(output);
        workbook.CloseWorkbook();
        const qint64 total = timer.elapsed();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("cells written: %lld, read back: %lld (%lld characters)\n", cells, cells / 10, reads);
        std::printf("fill: %lld ms, fill + save: %lld ms, output: %lld bytes, peak RSS: %.1f MB\n", filled,
                    total, QFileInfo(output).size(), usage.ru_maxrss / 1024.0);
    }
    catch (const CorvaneError& error)
    {
        std::fprintf(stderr, "%s\n", qPrintable(error.Message()));
        return 1;
    }
    return 0;
}
