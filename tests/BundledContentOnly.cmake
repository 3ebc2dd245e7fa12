# Fails when a test or benchmark names the run folder. They read the bundled content where the
# build packed it; build/run is where a user signs in, downloads and saves, and what lies there
# must change no test's result.
#   cmake -DROOT=<source folder> -P BundledContentOnly.cmake
file(GLOB_RECURSE sources ${ROOT}/tests/* ${ROOT}/bench/*)
set(found "")
foreach(source IN LISTS sources)
  if(source STREQUAL CMAKE_CURRENT_LIST_FILE)
    continue()
  endif()
  file(STRINGS ${source} lines REGEX "VN_RUN_DIR|[/\"]run/(dat|demo\\.lbd)")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name ${ROOT} ${source})
    string(STRIP "${line}" line)
    string(APPEND found "\n  ${name}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "tests and benchmarks must read the bundled content, not the run folder:${found}")
endif()
