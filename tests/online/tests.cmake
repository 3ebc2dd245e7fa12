list(APPEND VN_TEST_SOURCES
  online/AnswerParserTest.cpp
  online/LinkCacheTest.cpp
  online/NoticesTest.cpp
  online/OnlineTestSupport.cpp
  online/WebClientThreadedTest.cpp
)
