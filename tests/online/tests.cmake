list(APPEND VN_TEST_SOURCES
  online/AnswerParserTest.cpp
  online/LinkCacheTest.cpp
  online/NoticesTest.cpp
  online/OnlineAppFixture.cpp
  online/OnlineJourneyTest.cpp
  online/OnlineTestSupport.cpp
  online/PackageSyncTest.cpp
  online/WebClientThreadedTest.cpp
)
