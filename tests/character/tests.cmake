list(APPEND VN_TEST_SOURCES
  character/PackageListTest.cpp
  character/PackageSelectionTest.cpp
  character/DemoContentTest.cpp
  character/FigureFixture.cpp
  character/CategoryTest.cpp
  character/CharacterRegistryTest.cpp
  character/FigureCompositingTest.cpp
  character/DemoFigureTest.cpp
  character/EditorOperationsTest.cpp
  character/CharacterFileTest.cpp
  character/PngExportTest.cpp
  character/EditorDemoTest.cpp
  character/EditScreenJourneyTest.cpp
  character/EditScreenTest.cpp
)

# The content checker and the shipped content (no build of the content needed).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME DemoContent.CheckerAcceptsTheContentAndRefusesMistakes
           COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/test_check_content.py)
endif()
