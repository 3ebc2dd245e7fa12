list(APPEND VN_TEST_SOURCES
  app/GamePlayerProfileTest.cpp
  app/ObjectivesTest.cpp
  app/ObjectivesHintTest.cpp
  app/TutorialJourneyTest.cpp
  app/SettingsScreenTest.cpp
  app/ShopMenuScreenTest.cpp
  app/CredentialScrambleTest.cpp
  app/LoginScreenTest.cpp
  app/OnlineFaultsThreadedTest.cpp
  app/OnlineSessionThreadedTest.cpp
)
list(APPEND VN_TEST_SOURCES
  app/AppFixture.cpp
  app/JourneyTest.cpp
  app/ShellTest.cpp
)
