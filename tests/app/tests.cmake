list(APPEND VN_TEST_SOURCES
  app/GamePlayerProfileTest.cpp
)
list(APPEND VN_TEST_SOURCES
  app/AppFixture.cpp
  app/JourneyTest.cpp
  app/ShellTest.cpp
)
