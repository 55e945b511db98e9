# brindle_test_library(<target> <file name>
#                      [FOLDER dir]
#                      [FILE a,b,c,d PRODUCT a,b,c,d | RC file.rc])
# One small library for the scans to find and judge: the same code every
# time (tests/wine/support/library.c), with the version resource the
# arguments give (FILE and PRODUCT numbers; RC, a crafted resource script;
# neither, no version resource at all). It is written as <file name> into
# FOLDER (default: the current binary folder); its import library goes
# aside, so that copies whose names differ in case only do not collide.
function(brindle_test_library target file_name)
  cmake_parse_arguments(L "" "FOLDER;FILE;PRODUCT;RC" "" ${ARGN})
  set(sources ${PROJECT_SOURCE_DIR}/tests/wine/support/library.c)
  if(L_FILE)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/wine/support/version.rc)
  elseif(L_RC)
    list(APPEND sources ${L_RC})
  endif()
  add_library(${target} SHARED ${sources})
  if(L_FILE)
    target_compile_definitions(${target} PRIVATE
      BRINDLE_FILE_VERSION=${L_FILE} BRINDLE_PRODUCT_VERSION=${L_PRODUCT})
  endif()
  if(NOT L_FOLDER)
    set(L_FOLDER ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  get_filename_component(stem "${file_name}" NAME_WLE)
  get_filename_component(suffix "${file_name}" LAST_EXT)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME "${stem}" SUFFIX "${suffix}"
    RUNTIME_OUTPUT_DIRECTORY ${L_FOLDER}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/import/${target})
endfunction()
