# Build rules shared by every target of the project.

set(ZORVAT_WARNINGS -Wall -Wextra -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports false overlaps inside std::string concatenation at -O3
  # (-Wrestrict); the warning says nothing about our code there.
  list(APPEND ZORVAT_WARNINGS -Wno-restrict)
endif()
set(ZORVAT_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# The release build of the Windows programs (tools/build-release-pgo.sh)
# optimises across object files at link time and after a profile of the
# benchmark programs: ZORVAT_PROFILE=generate builds programs that count what
# runs (a .gcda file beside each object file when the program ends),
# ZORVAT_PROFILE=use rebuilds the same folder with those counts. Code the
# benchmarks never reach stays optimised as usual (partial training), and an
# object file without counts is no error: only the core library and the
# compiler are trained. A profile that no longer matches its source is one.
option(ZORVAT_LTO "Link-time optimisation of the project's targets" OFF)
set(ZORVAT_PROFILE "" CACHE STRING "Profile-guided optimisation: generate, use or empty")
set_property(CACHE ZORVAT_PROFILE PROPERTY STRINGS "" generate use)
if(ZORVAT_PROFILE STREQUAL "generate")
  set(ZORVAT_PROFILE_FLAGS -fprofile-generate)
elseif(ZORVAT_PROFILE STREQUAL "use")
  set(ZORVAT_PROFILE_FLAGS -fprofile-use -fprofile-partial-training -Wno-missing-profile)
elseif(NOT ZORVAT_PROFILE STREQUAL "")
  message(FATAL_ERROR "ZORVAT_PROFILE is generate, use or empty, not ${ZORVAT_PROFILE}")
endif()

# Options for the project's own targets (not for third-party code).
function(zorvat_target_options target)
  target_compile_options(${target} PRIVATE ${ZORVAT_WARNINGS})
  if(ZORVAT_LTO)
    set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  endif()
  if(ZORVAT_PROFILE_FLAGS)
    target_compile_options(${target} PRIVATE ${ZORVAT_PROFILE_FLAGS})
    target_link_options(${target} PRIVATE ${ZORVAT_PROFILE_FLAGS})
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ZORVAT_SANITIZE)
    target_compile_options(${target} PUBLIC ${ZORVAT_SANITIZER_FLAGS} -O1)
    target_link_options(${target} PUBLIC ${ZORVAT_SANITIZER_FLAGS})
  endif()
  if(ZORVAT_WINDOWS)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                               _WIN32_WINNT=0x0601)
  endif()
endfunction()

# A test program: one process per program, with a time limit. Windows test
# programs run under Wine through tools/wine_run.sh.
function(zorvat_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  zorvat_target_options(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(ZORVAT_WINDOWS)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tools/wine_run.sh $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# A small program that runs on the build machine while building (in the
# Windows build too), compiled with the machine's own C++ compiler.
find_program(ZORVAT_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
function(zorvat_host_tool name source)
  set(output ${PROJECT_BINARY_DIR}/host-tools/${name})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/host-tools
    COMMAND ${ZORVAT_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Werror -I${PROJECT_SOURCE_DIR}
            ${source} -o ${output}
    DEPENDS ${source} ${ARGN}
    COMMENT "Building host tool ${name}")
  add_custom_target(${name} DEPENDS ${output})
  set(ZORVAT_TOOL_${name} ${output} PARENT_SCOPE)
  set_property(GLOBAL PROPERTY ZORVAT_TOOL_${name} ${output})
endfunction()

# The programs and libraries we ship land side by side in bin/ (the host
# finds the libraries beside itself) and carry no symbol table.
set(ZORVAT_BIN_DIR ${PROJECT_BINARY_DIR}/bin)
function(zorvat_deliverable target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZORVAT_BIN_DIR})
  if(ZORVAT_WINDOWS)
    target_link_options(${target} PRIVATE -s)
  endif()
endfunction()
