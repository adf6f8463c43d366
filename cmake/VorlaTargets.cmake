# Shared compile settings and the few helpers every folder uses to declare its targets.

add_library(vorla_options INTERFACE)
target_compile_options(vorla_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wformat=2 -Wformat-security)
if(VORLA_WERROR)
  target_compile_options(vorla_options INTERFACE -Werror)
endif()
if(VORLA_SANITIZE)
  target_compile_options(vorla_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(vorla_options INTERFACE -fsanitize=address,undefined)
endif()
if(VORLA_SANITIZE_THREAD)
  if(VORLA_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer; "
                        "use a separate build folder for each")
  endif()
  target_compile_options(vorla_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vorla_options INTERFACE -fsanitize=thread)
endif()
if(VORLA_FUZZ)
  # Coverage instrumentation in every library too, or the fuzzers cannot see into the code
  # they drive.
  target_compile_options(vorla_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
target_include_directories(vorla_options INTERFACE ${CMAKE_SOURCE_DIR})

# vorla_library(<name> [SOURCES...] [LIBS...]): a static library of one folder. Without SOURCES
# it takes every .cpp of the calling folder (tests/ excluded).
function(vorla_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC vorla_options ${ARG_LIBS})
endfunction()

# vorla_program(<name> SOURCES... LIBS...): a deliverable program, written to build/bin/.
function(vorla_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vorla_options ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VORLA_BIN_DIR})
endfunction()

# vorla_test(<name> SOURCES... LIBS...): one GoogleTest program registered with CTest.
function(vorla_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vorla_options ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  # Built in, not passed through the environment: gtest_discover_tests splits a list value.
  target_compile_definitions(${name} PRIVATE VORLA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # A parameterised test is named by its row's name generator alone; the printed parameter
  # would otherwise be appended to the CTest name.
  # Listed when CTest starts rather than after the link, so that a test program runs only in the
  # tests' environment and never as a build step.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST)
endfunction()

# vorla_fuzzer(<name> SOURCES... LIBS...): a libFuzzer target, built only with VORLA_FUZZ.
function(vorla_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT VORLA_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE vorla_options ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
