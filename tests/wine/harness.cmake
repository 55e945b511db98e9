# Wine test programs: built for Windows, linked with the core, the real
# Win32 platform and the program's own resource script, and run by
# tests/wine/run-wine.sh in a Wine prefix of their own (so that ctest -j
# can run them side by side). Each program is one CTest test, because a
# Wine process start costs seconds.
#
#   brindle_wine_test(name
#     SOURCES file...          the test's sources (GoogleTest, gtest_main)
#     [LIBS target...]         more libraries, linked before the core
#     [DRIVES L:dir...]        drives to map; "L:@empty" is a fresh empty folder
#     [LABELS L:text...]       volume labels of mapped drives
#     [COPY file...]           files put beside the program in C:\brindle
#                              (generator expressions allowed)
#     [DEPENDS target...]      targets to build first (e.g. those COPY names)
#     [CWD L:]                 start in drive L:'s folder (default C:\brindle)
#     [ARGS arg...]            arguments to the program
#     [TIMEOUT seconds]        default 240
#     [WINVER version]         the Windows version the prefix reports (Wine's
#                              names: win95 ... winxp; default winxp)
#     [GUI])                   needs a display (any window does, under Wine
#                              with no display windows cannot be created):
#                              runs under xvfb-run -a
#                              unless DISPLAY is set
#
#   brindle_wine_script_test(name
#     COMMAND cmd arg...       a host command (e.g. bash script.sh ...) that
#                              starts Wine processes itself: it runs with
#                              WINEPREFIX set to its own prefix, BRINDLE_WINE
#                              (the wine program to call) and BRINDLE_C_DIR
#                              (the Unix folder of C:\brindle, where COPY
#                              files are)
#     [DRIVES ...] [LABELS ...] [COPY ...] [TIMEOUT s] [WINVER v] [GUI])
#
# The template prefix is made once per build folder, in
# <build>/wine-template; the test prefixes are <build>/wine-prefixes/<name>.

set(BRINDLE_WINE_RUNNER ${CMAKE_CURRENT_LIST_DIR}/run-wine.sh)

# _brindle_wine_runner_args(<out> <name> <arguments of either function>)
# The runner's options for test <name> in <out>, its CTest time limit in
# <out>_TIMEOUT; the keywords only the functions use are skipped.
function(_brindle_wine_runner_args out name)
  cmake_parse_arguments(W "GUI" "TIMEOUT;CWD;WINVER"
    "DRIVES;LABELS;COPY;SOURCES;LIBS;DEPENDS;ARGS;COMMAND" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 240)
  endif()
  set(args --root ${CMAKE_BINARY_DIR} --name ${name} --timeout ${W_TIMEOUT})
  foreach(d IN LISTS W_DRIVES)
    list(APPEND args --drive ${d})
  endforeach()
  foreach(l IN LISTS W_LABELS)
    list(APPEND args --label ${l})
  endforeach()
  foreach(f IN LISTS W_COPY)
    list(APPEND args --copy ${f})
  endforeach()
  if(W_CWD)
    list(APPEND args --cwd ${W_CWD})
  endif()
  if(W_WINVER)
    list(APPEND args --winver ${W_WINVER})
  endif()
  if(W_GUI)
    list(APPEND args --gui)
  endif()
  set(${out} ${args} PARENT_SCOPE)
  # The runner's own limit ends the program first, so that it can still
  # end the prefix's wineserver; the template may take a minute on top.
  math(EXPR limit "${W_TIMEOUT} + 120")
  set(${out}_TIMEOUT ${limit} PARENT_SCOPE)
endfunction()

function(brindle_wine_test name)
  cmake_parse_arguments(W "GUI" "TIMEOUT;CWD;WINVER" "SOURCES;LIBS;DRIVES;LABELS;COPY;DEPENDS;ARGS" ${ARGN})
  add_executable(${name} ${W_SOURCES})
  target_link_libraries(${name} PRIVATE ${W_LIBS} brindle_wine_support brindle_core
    brindle_platform_win32 brindle_resources GTest::gtest_main)
  if(W_DEPENDS)
    add_dependencies(${name} ${W_DEPENDS})
  endif()
  _brindle_wine_runner_args(args ${name} ${ARGN})
  add_test(NAME ${name}
    COMMAND bash ${BRINDLE_WINE_RUNNER} ${args} -- $<TARGET_FILE:${name}> ${W_ARGS})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${args_TIMEOUT} LABELS wine)
endfunction()

function(brindle_wine_script_test name)
  cmake_parse_arguments(W "GUI" "TIMEOUT;WINVER" "COMMAND;DRIVES;LABELS;COPY" ${ARGN})
  _brindle_wine_runner_args(args ${name} ${ARGN})
  add_test(NAME ${name} COMMAND bash ${BRINDLE_WINE_RUNNER} ${args} --host -- ${W_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${args_TIMEOUT} LABELS wine)
endfunction()
