set(UNIT_IMPORT_TESTS
  ImportUnitFilesTest.cpp
  ImportUnitsCommandTest.cpp
  FileMoveTest.cpp
  UnitFileText.h
)
