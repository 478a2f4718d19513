# kld_folder_library(<target> [ONLY <files...>] [EXCLUDE <files...>] DEPS <libs...>)
# Builds every .cpp below the current folder into one static library. Include
# paths are relative to the repository root ("platform/SysUtils.h"). ONLY
# takes just the files named; EXCLUDE leaves the files named to another
# library of the same folder.
set(KLD_MIRABO_PARTS "" CACHE INTERNAL "")

function(kld_folder_library target)
  cmake_parse_arguments(ARG "NOT_IN_MIRABO" "" "DEPS;ONLY;EXCLUDE" ${ARGN})
  if(ARG_ONLY)
    list(TRANSFORM ARG_ONLY PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
  else()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(excluded ${ARG_EXCLUDE})
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
  endif()
  set(has_cpp FALSE)
  foreach(s ${sources})
    if(s MATCHES "\\.cpp$")
      set(has_cpp TRUE)
    endif()
  endforeach()
  if(has_cpp)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    if(NOT ARG_NOT_IN_MIRABO)
      set(KLD_MIRABO_PARTS ${KLD_MIRABO_PARTS} ${target} CACHE INTERNAL "")
    endif()
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kld_add_tests(<folder-name> LIBS <libs...> [QT])
# One test executable per source folder; QT gives it a main that makes a
# QApplication (offscreen) for tests that need an event loop or widgets.
function(kld_add_tests name)
  cmake_parse_arguments(ARG "QT" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.h)
  if(NOT sources)
    return()
  endif()
  set(target test_${name})
  add_executable(${target} ${sources})
  if(ARG_QT)
    target_link_libraries(${target} PRIVATE kld_test_main_qt)
  else()
    target_link_libraries(${target} PRIVATE kld_test_main)
  endif()
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # The test code itself is not optimised in the sanitized build: optimising
  # its large test bodies doubled their compile time and most of the build's,
  # while the code under test keeps its own level.
  if(KLD_SANITIZE)
    target_compile_options(${target} PRIVATE -O0)
  endif()
  kld_declare_test_cases(${target})
endfunction()

# Every case of every test program becomes a CTest test of its own, run
# through kld_test_runner, which starts a program once per suite (see
# tests/support/TestRunner.cpp). The cases are listed when CTest starts, so a
# new test needs nothing but its source file.
function(kld_declare_test_cases target)
  add_dependencies(${target} kld_test_runner)
  set_property(GLOBAL APPEND PROPERTY KLD_TEST_PROGRAMS "$<TARGET_FILE:${target}>")
endfunction()

# Called once after the last test program: one list of cases for all of them,
# so that the suites of every program are spread over the whole run.
function(kld_declare_all_test_cases)
  get_property(programs GLOBAL PROPERTY KLD_TEST_PROGRAMS)
  set(program_args "")
  foreach(program ${programs})
    string(APPEND program_args " [==[${program}]==]")
  endforeach()
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/kld_test_cases_include.cmake")
  file(GENERATE OUTPUT "${include_file}" CONTENT
"include([==[${PROJECT_SOURCE_DIR}/cmake/KldTestDiscovery.cmake]==])
kld_discover_tests(
  OUTPUT [==[${CMAKE_CURRENT_BINARY_DIR}/kld_test_cases.cmake]==]
  RUNNER [==[$<TARGET_FILE:kld_test_runner>]==]
  WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==]
  ENVIRONMENT [==[QT_QPA_PLATFORM=offscreen;KLD_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data]==]
  PROGRAMS${program_args})
include([==[${CMAKE_CURRENT_BINARY_DIR}/kld_test_cases.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
