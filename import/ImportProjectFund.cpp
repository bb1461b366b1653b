#include "import/ImportProjectFiles.h"

// Placeholder until the section is written.
bool ImportProjectFund(Database&, const XmlNode&, const QString&, const ProjectDictionaries&, MessageSink&)
{
    return true;
}
