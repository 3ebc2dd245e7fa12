list(APPEND VN_TEST_SOURCES
  character/PackageListTest.cpp
  character/PackageSelectionTest.cpp
)
