# The build's copy of the bundled content into the program's folder, on real files in a temp folder:
# a first copy, then a repack that rewrites every bundled file (as a packer change does) while the
# user has a newer download and a saved figure there, a deleted file, and one package with new bytes.
# Then the package builder run twice on the same sources, which must leave the archive and its date
# alone, so that nothing after it in the build runs again.
#   cmake -DSCRIPT=<content/CopyIntoRunFolder.cmake> -DBUILDER=<tools/build-package.sh> -DPACKER=<vn-lba>
#         -P RunFolderCopy.cmake
execute_process(COMMAND mktemp -d OUTPUT_VARIABLE work OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE code)
if(NOT code EQUAL 0 OR NOT IS_DIRECTORY "${work}")
  message(FATAL_ERROR "no temp folder")
endif()
set(packed "${work}/bundled")
set(program "${work}/program")
set(failures "")

function(copy_step)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DBUNDLED=${packed} -DRUN=${program} -DRECORD=${work}/copies.txt
            "-DFILES=dat/a.lba|dat/b.lba|dat/char_vexa.lba|demo.lbd" -P ${SCRIPT}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT code EQUAL 0)
    string(APPEND failures "\n  the copy failed: ${out}")
  endif()
  set(said "${out}" PARENT_SCOPE)
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# expect(<what> <path under program> <bytes>)
function(expect what path bytes)
  set(found "(missing)")
  if(EXISTS "${program}/${path}")
    file(READ "${program}/${path}" found)
  endif()
  if(NOT found STREQUAL bytes)
    string(APPEND failures "\n  ${what}: ${path} holds '${found}', not '${bytes}'")
    set(failures "${failures}" PARENT_SCOPE)
  endif()
endfunction()

file(WRITE ${packed}/dat/a.lba "A1")
file(WRITE ${packed}/dat/b.lba "B1")
file(WRITE ${packed}/dat/char_vexa.lba "VEXA1")
file(WRITE ${packed}/demo.lbd "DEMO1")
file(WRITE ${program}/dat/vexa_sky.lba "DOWNLOADED")

copy_step()
expect(first dat/a.lba "A1")
expect(first dat/b.lba "B1")
expect(first dat/char_vexa.lba "VEXA1")
expect(first demo.lbd "DEMO1")
if(said MATCHES "Kept")
  string(APPEND failures "\n  first: nothing was changed, yet: ${said}")
endif()

# Every bundled file written again, one with new bytes.
file(WRITE ${program}/dat/char_vexa.lba "NEWER-DOWNLOAD")
file(WRITE ${program}/demo.lbd "USER-SAVED")
file(REMOVE ${program}/dat/a.lba)
file(WRITE ${packed}/dat/a.lba "A1")
file(WRITE ${packed}/dat/b.lba "B2")
file(WRITE ${packed}/dat/char_vexa.lba "VEXA1")
file(WRITE ${packed}/demo.lbd "DEMO1")

copy_step()
expect("a deleted file comes back" dat/a.lba "A1")
expect("new content reaches the build's own copy" dat/b.lba "B2")
expect("a newer download stays" dat/char_vexa.lba "NEWER-DOWNLOAD")
expect("a saved figure stays" demo.lbd "USER-SAVED")
expect("a file the build never bundled is not touched" dat/vexa_sky.lba "DOWNLOADED")
string(REGEX MATCHALL "Kept in [^\n]*" kept "${said}")
list(LENGTH kept lines)
if(NOT lines EQUAL 1 OR NOT kept MATCHES "dat/char_vexa\\.lba, demo\\.lbd$")
  string(APPEND failures "\n  repack: not one line naming both kept files: ${said}")
endif()
file(GLOB_RECURSE left "${program}/*.tmp")
if(left)
  string(APPEND failures "\n  temp files left: ${left}")
endif()

# The builder, with the archive's date set far back: the same bytes keep it, new ones replace it.
function(build_package)
  execute_process(COMMAND ${BUILDER} ${work}/source pkg ${work}/packed.lba ${PACKER}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT code EQUAL 0)
    set(failures "${failures}\n  the package builder failed: ${out}" PARENT_SCOPE)
  endif()
endfunction()
file(WRITE ${work}/source/readme.cfg "one")
build_package()
execute_process(COMMAND touch -d @86400 ${work}/packed.lba)
build_package()
file(TIMESTAMP ${work}/packed.lba date "%s" UTC)
if(NOT date STREQUAL "86400")
  string(APPEND failures "\n  the same package packed again was written again")
endif()
file(WRITE ${work}/source/readme.cfg "two")
build_package()
file(TIMESTAMP ${work}/packed.lba date "%s" UTC)
if(date STREQUAL "86400")
  string(APPEND failures "\n  a package with new bytes was not written")
endif()

file(REMOVE_RECURSE "${work}")
if(failures)
  message(FATAL_ERROR "rebuilding the bundled content and copying it into the program's folder:${failures}")
endif()
