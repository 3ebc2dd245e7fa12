# Tests that need a real window: their own binary, which uses the x11 video driver and skips each
# test when no DISPLAY is set. ./test runs ctest under xvfb-run; `ctest -L xvfb` runs only these.
pkg_check_modules(VN_X11 IMPORTED_TARGET x11)
if(NOT VN_X11_FOUND)
  message(WARNING "libx11 development files are missing; the real-window tests are not built")
  return()
endif()

add_executable(vn_window_tests
  window/WindowMain.cpp
  window/WindowRunTest.cpp
  window/ProgramRunTest.cpp
  window/SettledTargetWindowTest.cpp
  window/ShellWindowTest.cpp
  window/WindowTestSupport.cpp
  support/TempDir.cpp
)
target_include_directories(vn_window_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vn_window_tests PRIVATE vn_app PkgConfig::VN_X11 GTest::gtest)
target_compile_definitions(vn_window_tests PRIVATE
  VN_PROGRAM="$<TARGET_FILE:varnoth>"
  VN_BUNDLED_DIR="${VN_BUNDLED_DIR}")
# One test starts the built program.
add_dependencies(vn_window_tests varnoth)
gtest_discover_tests(vn_window_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS xvfb ENVIRONMENT "SDL_AUDIODRIVER=dummy")
# The built program against the stand-in web service.
target_sources(vn_window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/online/OnlineProgramWindowTest.cpp)
target_compile_definitions(vn_window_tests PRIVATE
  VN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  VN_SERVICE="$<TARGET_FILE:vn-service>"
  VN_SERVICE_ARCHIVES_DIR="${CMAKE_BINARY_DIR}/service/archives")
add_dependencies(vn_window_tests vn-service)
