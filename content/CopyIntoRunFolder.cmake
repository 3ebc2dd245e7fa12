# Brings the bundled content into the folder the program runs from without losing what the user or
# the program put there:
#   cmake -DBUNDLED=<folder> -DRUN=<folder> -DRECORD=<file> -DFILES=<path>|<path>|... -P CopyIntoRunFolder.cmake
# Each <path> (relative, e.g. dat/core.lba) is copied from BUNDLED into RUN when the copy there is
# missing or still holds exactly what this script put there last; RECORD (kept outside RUN) holds
# that hash per path. A copy that changed since (a newer download of the same name, a figure saved
# over demo.lbd) is kept, and one line names every kept file. Nothing else in RUN is looked at.
# Dates play no part: a repack with the same bytes copies nothing, one with new bytes is seen.
if(NOT BUNDLED OR NOT RUN OR NOT RECORD OR NOT FILES)
  message(FATAL_ERROR "usage: cmake -DBUNDLED=<folder> -DRUN=<folder> -DRECORD=<file> -DFILES=<a|b|...> -P CopyIntoRunFolder.cmake")
endif()
string(REPLACE "|" ";" files "${FILES}")

# RECORD: one line per path, "<sha256> <path>".
if(EXISTS "${RECORD}")
  file(STRINGS "${RECORD}" lines)
  foreach(line IN LISTS lines)
    if(line MATCHES "^([0-9a-f]+) (.+)$")
      set("copied_${CMAKE_MATCH_2}" "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

set(copied "")
set(kept "")
set(record "")
foreach(path IN LISTS files)
  set(from "${BUNDLED}/${path}")
  set(to "${RUN}/${path}")
  if(NOT EXISTS "${from}")
    message(FATAL_ERROR "${from} is missing: the build did not make it")
  endif()
  file(SHA256 "${from}" bundled)
  set(last "${copied_${path}}")
  set(present "")
  if(EXISTS "${to}")
    file(SHA256 "${to}" present)
  endif()
  if(present STREQUAL bundled)
    # Already the bundled bytes (also a copy made before there was a record): the build's own.
    set(last "${bundled}")
  elseif(present STREQUAL "" OR present STREQUAL last)
    get_filename_component(folder "${to}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    # The program may be running from RUN: it must never see half a file.
    file(COPY_FILE "${from}" "${to}.tmp")
    file(RENAME "${to}.tmp" "${to}")
    set(last "${bundled}")
    list(APPEND copied "${path}")
  else()
    list(APPEND kept "${path}")
  endif()
  if(NOT last STREQUAL "")
    string(APPEND record "${last} ${path}\n")
  endif()
endforeach()

# Written after the copies: a run cut short leaves copies that match the bundled bytes, which the
# next run recognises as the build's own.
file(WRITE "${RECORD}.tmp" "${record}")
file(RENAME "${RECORD}.tmp" "${RECORD}")

if(copied)
  list(JOIN copied ", " shown)
  message(NOTICE "Copied into ${RUN}: ${shown}")
endif()
if(kept)
  list(JOIN kept ", " shown)
  message(NOTICE "Kept in ${RUN}, changed since the build put them there (delete one to get the bundled copy back): ${shown}")
endif()
