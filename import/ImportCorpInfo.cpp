#include "import/ImportUnitFiles.h"

// Placeholder until the section is written.
bool ImportCorpInfo(Database&, const XmlNode&, const QString&, const UnitDictionaries&, MessageSink&)
{
    return true;
}
