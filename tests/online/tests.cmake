list(APPEND VN_TEST_SOURCES
  online/AnswerParserTest.cpp
  online/LinkCacheTest.cpp
  online/LoginScreenTest.cpp
  online/NoticesTest.cpp
  online/OnlineAppFixture.cpp
  online/OnlineFaultsThreadedTest.cpp
  online/OnlineJourneyTest.cpp
  online/OnlineSessionThreadedTest.cpp
  online/OnlineTestSupport.cpp
  online/PackageSyncTest.cpp
  online/WebClientThreadedTest.cpp
)
