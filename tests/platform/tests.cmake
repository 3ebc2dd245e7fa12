list(APPEND VN_TEST_SOURCES
  platform/PlatformTest.cpp
  platform/CrashHandlerTest.cpp
)
