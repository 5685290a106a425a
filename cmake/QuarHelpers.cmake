# Build helpers shared by every folder of the tree.

function(quar_add_optional_subdirectory dir)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/${dir})
  endif()
endfunction()

# Adds every direct subfolder of `parent` that has a CMakeLists.txt.
function(quar_add_all_subdirectories parent)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${parent}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# quar_cgi_program(name SOURCES ... LIBS ...): a CGI executable, static unless sanitizing.
function(quar_cgi_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(QUAR_STATIC_CGI)
    target_link_options(${name} PRIVATE -static -Wl,--gc-sections)
    target_compile_options(${name} PRIVATE -ffunction-sections -fdata-sections)
  endif()
endfunction()

# quar_unit_test(name SOURCES ... LIBS ... [LABELS ...]): a GoogleTest executable whose
# cases are registered one by one with ctest.
find_package(GTest QUIET)
include(GoogleTest)
function(quar_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT GTest_FOUND)
    message(WARNING "GoogleTest not found: ${name} is not built")
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE POST_BUILD
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 30)
  # The labels are set by a script that ctest reads after the discovered tests: a list passed
  # through gtest_discover_tests loses its separators on the way.
  set(labels unit ${ARG_LABELS})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${script}
    "foreach(test IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES LABELS \"${labels}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

# quar_fuzzer(name SOURCES ... LIBS ... CORPUS dir [SHORT_SECONDS n]): a libFuzzer target,
# a short run over the seed corpus (label fuzz-short, in the default run) and a long run
# (labels fuzz-long and long, left out of the default run).
function(quar_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS;SHORT_SECONDS;LONG_SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SHORT_SECONDS)
    set(ARG_SHORT_SECONDS 8)
  endif()
  if(NOT ARG_LONG_SECONDS)
    set(ARG_LONG_SECONDS 600)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  add_test(NAME ${name}.short
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${ARG_CORPUS} ${work} ${ARG_SHORT_SECONDS})
  set_tests_properties(${name}.short PROPERTIES LABELS fuzz-short TIMEOUT 300)
  add_test(NAME ${name}.long
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${ARG_CORPUS} ${work} ${ARG_LONG_SECONDS})
  # The default run (scripts/test.sh) leaves out the label "long".
  set_tests_properties(${name}.long PROPERTIES LABELS "fuzz-long;long" TIMEOUT 7200)
endfunction()
