#include "cli/Commands.h"

#include "services/MessageSink.h"

int ImportUnitsCommand(Settings&, const QStringList&, MessageSink& sink)
{
    sink.Show(QStringLiteral("尚未提供单位信息导入"));
    return 1;
}

int ImportProjectsCommand(Settings&, const QStringList&, MessageSink& sink)
{
    sink.Show(QStringLiteral("尚未提供项目信息导入"));
    return 1;
}
