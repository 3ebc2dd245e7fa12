# Fails when a test or benchmark names the run folder, or the build folder it can be made from. They
# read the bundled content where the build packed it, and are told the exact tool or folder they
# need; build/run is where a user signs in, downloads and saves, and what lies there must change no
# test's result.
#   cmake -DROOT=<source folder> -P BundledContentOnly.cmake
set(named [=[VN_RUN_DIR|VN_BUILD_DIR|BINARY_DIR}"|BINARY_DIR}/run|TARGET_FILE_DIR:varnoth|[/"']run[/"']]=])

# Spellings it must catch, and lines it must let through: a pattern that stops matching would
# otherwise pass every tree.
foreach(line IN ITEMS
    [=[const std::string run = std::string(VN_BUILD_DIR) + "/run";]=]
    [=[const fs::path dat = fs::path(kBuild) / "run" / "dat";]=]
    [=[dir.Read("../run/demo.lbd")]=]
    [=[VN_HOME="${CMAKE_BINARY_DIR}/run"]=]
    [=[VN_HOME="${CMAKE_BINARY_DIR}"]=]
    [=[VN_HOME="$<TARGET_FILE_DIR:varnoth>"]=]
    [=[open(os.path.join(build, 'run', 'dat'))]=]
    [=[set(VN_HOME ${VN_RUN_DIR})]=])
  if(NOT line MATCHES "${named}")
    message(FATAL_ERROR "the check lets this spelling of the run folder through: ${line}")
  endif()
endforeach()
foreach(line IN ITEMS
    [=[VN_PROGRAM="$<TARGET_FILE:varnoth>"]=]
    [=[VN_SERVICE_ARCHIVES_DIR="${CMAKE_BINARY_DIR}/service/archives"]=]
    [=[GTEST_SKIP() << "no DISPLAY: run under xvfb-run";]=]
    [=[// A run folder like build/run (the bundled packages under "dat/") in a fresh temp folder]=])
  if(line MATCHES "${named}")
    message(FATAL_ERROR "the check takes this line for the run folder: ${line}")
  endif()
endforeach()

file(GLOB_RECURSE sources ${ROOT}/tests/* ${ROOT}/bench/*)
set(found "")
foreach(source IN LISTS sources)
  if(source STREQUAL CMAKE_CURRENT_LIST_FILE)
    continue()
  endif()
  file(STRINGS ${source} lines REGEX "${named}")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name ${ROOT} ${source})
    string(STRIP "${line}" line)
    string(APPEND found "\n  ${name}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "tests and benchmarks must read the bundled content, not the run or build folder:${found}")
endif()
