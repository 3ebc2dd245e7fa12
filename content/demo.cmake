# The demo packages: every folder of content/ but core and dyncfg. Their text files (set
# definitions, preview.txt, en.txt) are sources here; their pictures are drawn by tools/demo/*.py
# into a staging folder, checked by tools/check_content.py, rendered and packed by
# tools/build-package.sh into ${VN_BUNDLED_DIR}/dat/<package>.lba. A broken definition fails the build.
# Included from content/CMakeLists.txt once the packer exists.

if(NOT TARGET vn-lba OR NOT EXISTS ${PROJECT_SOURCE_DIR}/tools/build-package.sh)
  message(WARNING "The packer or tools/build-package.sh is missing; the demo packages are not built")
  return()
endif()
if(NOT TARGET content)
  add_custom_target(content ALL)
endif()
find_package(Python3 COMPONENTS Interpreter REQUIRED)

file(GLOB vn_demo_children CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
     ${CMAKE_CURRENT_SOURCE_DIR}/*)
set(vn_demo_packages)
set(vn_demo_archives)
set(vn_demo_sources)
foreach(child IN LISTS vn_demo_children)
  if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND NOT child STREQUAL "core" AND NOT child STREQUAL "dyncfg")
    list(APPEND vn_demo_packages ${child})
    list(APPEND vn_demo_archives ${VN_BUNDLED_DIR}/dat/${child}.lba)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/*)
    list(APPEND vn_demo_sources ${files})
  endif()
endforeach()
file(GLOB vn_demo_tools CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/demo/*.py)

set(vn_content_sheet ${VN_ARTIFACTS_DIR}/content-sheet.png)
# The packer leaves an archive whose bytes stay the same untouched, so the stamp stands for them all.
set(vn_demo_stamp ${CMAKE_CURRENT_BINARY_DIR}/stamps/demo-packages.stamp)
add_custom_command(
  OUTPUT ${vn_demo_stamp} ${vn_content_sheet}
  BYPRODUCTS ${vn_demo_archives}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/build_content.py
          --content ${CMAKE_CURRENT_SOURCE_DIR} --stage ${CMAKE_CURRENT_BINARY_DIR}/demo-stage
          --dat ${VN_BUNDLED_DIR}/dat --packer $<TARGET_FILE:vn-lba> --builder ${PROJECT_SOURCE_DIR}/tools/build-package.sh
          --sheet ${vn_content_sheet} --list-icons ${CMAKE_CURRENT_BINARY_DIR}/demo-list-icons
  COMMAND ${CMAKE_COMMAND} -E touch ${vn_demo_stamp}
  DEPENDS ${vn_demo_sources} ${vn_demo_tools} ${PROJECT_SOURCE_DIR}/tools/build_content.py
          ${PROJECT_SOURCE_DIR}/tools/check_content.py ${PROJECT_SOURCE_DIR}/tools/build-package.sh vn-lba
  COMMENT "Building the demo packages and the contact sheet"
  VERBATIM)
add_custom_target(vn_demo_content DEPENDS ${vn_demo_stamp} ${vn_content_sheet})
add_dependencies(content vn_demo_content)
foreach(package IN LISTS vn_demo_packages)
  vn_run_copy(dat/${package}.lba vn_demo_content)
endforeach()

# The tutorial's demonstration figure, opened as "demo.lbd" beside the program: written by the
# program's own figure writer from the packed packages, so it always names items that exist. The
# writer leaves the file untouched when its bytes stay the same.
add_executable(vn-make-demo-lbd ${PROJECT_SOURCE_DIR}/tools/make_demo_lbd.cpp)
target_link_libraries(vn-make-demo-lbd PRIVATE vn_app)
set_target_properties(vn-make-demo-lbd PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
set(vn_figure_stamp ${CMAKE_CURRENT_BINARY_DIR}/stamps/demo.lbd.stamp)
add_custom_command(
  OUTPUT ${vn_figure_stamp}
  BYPRODUCTS ${VN_BUNDLED_DIR}/demo.lbd
  COMMAND vn-make-demo-lbd ${VN_BUNDLED_DIR}/demo.lbd
  COMMAND ${CMAKE_COMMAND} -E touch ${vn_figure_stamp}
  WORKING_DIRECTORY ${VN_BUNDLED_DIR}
  DEPENDS vn-make-demo-lbd ${vn_demo_stamp} vn_demo_content
  COMMENT "Writing the demonstration figure demo.lbd"
  VERBATIM)
add_custom_target(vn_demo_figure DEPENDS ${vn_figure_stamp})
add_dependencies(content vn_demo_figure)
vn_run_copy(demo.lbd vn_demo_figure)
