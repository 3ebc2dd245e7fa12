list(APPEND VN_TEST_SOURCES
  character/FigureFixture.cpp
  character/CategoryTest.cpp
  character/CharacterRegistryTest.cpp
  character/FigureCompositingTest.cpp
)
