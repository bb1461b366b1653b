#include "import/ImportUnitFiles.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

TEST(ImportUnitFiles, EmptyListShowsSummaryWithZeroCounts)
{
    TempDatabase temp;
    RecordingSink sink;
    ImportUnitFiles(FileList{temp.settings.ImportPath, {}}, temp.settings, sink);
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("导入单位信息:操作完成！\n倒入成功0个文件\n倒入失败0个文件")});
}
