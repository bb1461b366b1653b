#include "import/ImportProjectFiles.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

TEST(ImportProjectFiles, EmptyListShowsSummaryWithZeroCounts)
{
    TempDatabase temp;
    RecordingSink sink;
    ImportProjectFiles(FileList{temp.settings.ImportPath, {}}, temp.settings, sink);
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("导入项目信息:操作完成！\n倒入成功0个文件\n倒入失败0个文件")});
}
