# Build helpers shared by every folder of the tree.

# A folder the build lists must be there: a missing one is a broken tree, not a smaller build.
function(quar_add_folder dir)
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    message(FATAL_ERROR "${dir}/CMakeLists.txt not found: the build lists a folder that is not there")
  endif()
  add_subdirectory(${CMAKE_SOURCE_DIR}/${dir})
endfunction()

# quar_layer_headers(target FOLDERS folder...): the headers `target` may include, and those it
# shows to whatever links it. Each folder of src/ is reached through a root of the target's own
# that holds only that folder, so "runtime/CgiApplication.h" resolves for the runtime library
# and the libraries that link it, and fails to compile anywhere below.
function(quar_layer_headers target)
  cmake_parse_arguments(ARG "" "" "FOLDERS" ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/layers/${target})
  foreach(folder ${ARG_FOLDERS})
    if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/src/${folder})
      message(FATAL_ERROR "${target}: src/${folder} is not a folder")
    endif()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${root}>)
  else()
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
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

include(CheckLinkerFlag)
check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" QUAR_LINKER_HAS_RELR)

# A static program normally begins with crtbeginT.o, which registers the program's exception
# tables with the unwinder, and the first exception then sorts every one of them (8 M
# instructions for a malformed endpoint body, against 0.17 M). crtbegin.o, the one of a dynamic
# program, leaves them to the table the linker writes (--eh-frame-hdr), which the unwinder
# searches as it is; found first through -B, it stands in for crtbeginT.o. A static
# position-independent program starts with that table anyway, and relocates its data (as a
# bitmap, DT_RELR, where the linker can: 680 bytes instead of 84 KB to read).
if(QUAR_STATIC_CGI AND QUAR_CGI_PIE)
  set(QUAR_STATIC_LINK -static-pie)
  if(QUAR_LINKER_HAS_RELR)
    list(APPEND QUAR_STATIC_LINK -Wl,-z,pack-relative-relocs)
  endif()
elseif(QUAR_STATIC_CGI)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    message(FATAL_ERROR "QUAR_CGI_PIE=OFF needs GCC's start files")
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=crtbegin.o
    OUTPUT_VARIABLE crtbegin OUTPUT_STRIP_TRAILING_WHITESPACE)
  configure_file(${crtbegin} ${CMAKE_BINARY_DIR}/startfiles/crtbeginT.o COPYONLY)
  set(QUAR_STATIC_LINK -static -no-pie -B${CMAKE_BINARY_DIR}/startfiles/ -Wl,--eh-frame-hdr)
endif()

# quar_cgi_program(name SOURCES ... LIBS ...): a CGI executable, static unless sanitizing.
function(quar_cgi_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(QUAR_STATIC_CGI)
    # The functions run at start lie together, so that a request faults in fewer pages of code
    # (start-path.ld, written from the link map beside the program by bench/startup).
    set(start_path ${CMAKE_SOURCE_DIR}/src/runtime/start-path.ld)
    target_link_options(${name} PRIVATE ${QUAR_STATIC_LINK} -Wl,--gc-sections
      -Wl,-T,${start_path} -Wl,-Map=$<TARGET_FILE:${name}>.map)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${start_path})
  endif()
endfunction()

# quar_unit_test(name SOURCES ... LIBS ... [LABELS ...]): a GoogleTest executable whose
# cases are registered one by one with ctest.
# A tree built with tests has all of them: without GoogleTest the configuration fails.
if(QUAR_TESTS)
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
function(quar_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT GTest_FOUND)
    message(FATAL_ERROR "GoogleTest not found: ${name} cannot be built (QUAR_TESTS=OFF builds none)")
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

# quar_fuzzer(name SOURCES ... LIBS ... CORPUS dir [DICT file] [SHORT_SECONDS n]): a libFuzzer
# target, a short run over the seed corpus (label fuzz-short, in the default run) and a long run
# (labels fuzz-long and long, left out of the default run), both with the dictionary if any.
function(quar_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS;DICT;SHORT_SECONDS;LONG_SECONDS" "SOURCES;LIBS" ${ARGN})
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
      ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${ARG_CORPUS} ${work} ${ARG_SHORT_SECONDS}
      ${ARG_DICT})
  set_tests_properties(${name}.short PROPERTIES LABELS fuzz-short TIMEOUT 300)
  add_test(NAME ${name}.long
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${ARG_CORPUS} ${work} ${ARG_LONG_SECONDS}
      ${ARG_DICT})
  # The default run (scripts/test.sh) leaves out the label "long".
  set_tests_properties(${name}.long PROPERTIES LABELS "fuzz-long;long" TIMEOUT 7200)
endfunction()
