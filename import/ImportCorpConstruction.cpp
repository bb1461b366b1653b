#include "import/ImportUnitFiles.h"

// Placeholder until the section is written.
bool ImportCorpConstruction(Database&, const XmlNode&, const QString&, const UnitDictionaries&, MessageSink&)
{
    return true;
}
