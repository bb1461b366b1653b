set(UNIT_IMPORT_TESTS
  ImportUnitFilesTest.cpp
  ImportCommandsTest.cpp
  FileMoveTest.cpp
  ImportBatchTest.cpp
  ImportFixture.h
  UnitFileText.h
)
