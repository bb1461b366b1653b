set(UNIT_IMPORT_TESTS ImportUnitFilesTest.cpp)
