#include "import/ImportProjectFiles.h"

// Placeholder until the section is written.
bool ImportProjectInfo(Database&, const XmlNode&, const QString&, const ProjectDictionaries&, MessageSink&)
{
    return true;
}
