# Run by CTest before the tests (through the TEST_INCLUDE_FILES entry that
# kld_declare_all_test_cases sets up): lists the cases of every test program
# and declares each as a CTest test of its own, named as GoogleTest's own
# discovery names it, that runs through kld_test_runner
# (tests/support/TestRunner.cpp). A program is listed again only when it is
# newer than its last listing.
#
# The cases are declared round-robin: the first case of the first suite of
# every program, then of the second suite of every program, and so on, then
# the second case of every suite. CTest starts tests in that order when it has
# no timings yet, so the case that runs a whole suite in one process starts
# before the cases that wait for it, and the suites of every program start
# early.

# Reads the cases of one program into <var>_suites (suite keys) and, per
# suite key, <var>_<key>_names / _cases (CTest names, gtest filters).
function(kld_read_cases program listing var)
  if(NOT EXISTS "${listing}" OR NOT "${listing}" IS_NEWER_THAN "${program}")
    execute_process(
      COMMAND "${program}" --gtest_list_tests
      WORKING_DIRECTORY "${ARG_WORKING_DIRECTORY}"
      TIMEOUT 60
      OUTPUT_VARIABLE output
      ERROR_VARIABLE errors
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "Listing the cases of ${program} failed (${result}):\n${output}${errors}")
    endif()
    file(WRITE "${listing}" "${output}")
  else()
    file(READ "${listing}" output)
  endif()

  # One list element per line; semicolons of parameter texts kept.
  string(REPLACE ";" "\\;" output "${output}")
  string(REPLACE "\n" ";" output "${output}")
  set(suites "")
  foreach(line ${output})
    if(line MATCHES "gtest_main\\.cc")
      continue()
    endif()
    if(NOT line MATCHES "^  ")
      # A suite: "Suite." or "Prefix/Suite/0.  # TypeParam = T".
      string(REGEX REPLACE "\\.( *#.*)?$" "" suite "${line}")
      if(line MATCHES "#")
        string(REGEX REPLACE "/.*" "" pretty_suite "${line}")
        string(REGEX REPLACE ".*/[0-9]+[ .#]+TypeParam = (.*)" "\\1" type_parameter "${line}")
        set(type_suffix "<${type_parameter}>")
      else()
        set(pretty_suite "${suite}")
        set(type_suffix "")
      endif()
      string(REGEX REPLACE "^DISABLED_" "" pretty_suite "${pretty_suite}")
      string(MAKE_C_IDENTIFIER "${suite}" key)
      list(APPEND suites ${key})
      set(names_${key} "")
      set(cases_${key} "")
      continue()
    endif()
    # A case: "  Name" or "  Name/0  # GetParam() = value".
    string(STRIP "${line}" test)
    if(test MATCHES "#")
      string(REGEX REPLACE "/[0-9]+[ #]+GetParam\\(\\) = " "/" pretty_test "${test}")
    else()
      set(pretty_test "${test}")
    endif()
    string(REGEX REPLACE "^DISABLED_" "" pretty_test "${pretty_test}")
    string(REGEX REPLACE " +#.*" "" test "${test}")
    # Kept as bracket texts, so that no list separator inside a name counts.
    list(APPEND names_${key} "[==[${pretty_suite}.${pretty_test}${type_suffix}]==]")
    list(APPEND cases_${key} "[==[${suite}.${test}]==]")
  endforeach()
  set(${var}_suites "${suites}" PARENT_SCOPE)
  foreach(key ${suites})
    set(${var}_${key}_names "${names_${key}}" PARENT_SCOPE)
    set(${var}_${key}_cases "${cases_${key}}" PARENT_SCOPE)
  endforeach()
endfunction()

function(kld_discover_tests)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "OUTPUT;RUNNER;WORKING_DIRECTORY;ENVIRONMENT" "PROGRAMS")
  set(script "")
  # Suites as "<program number>:<suite key>", in declaration order.
  set(rows "")
  set(number 0)
  foreach(program ${ARG_PROGRAMS})
    math(EXPR number "${number} + 1")
    get_filename_component(name "${program}" NAME)
    if(NOT EXISTS "${program}")
      string(APPEND script "add_test(${name}_NOT_BUILT ${name}_NOT_BUILT)\n")
      continue()
    endif()
    set(program_${number} "${program}")
    kld_read_cases("${program}" "${ARG_OUTPUT}.${name}.list" p${number})
    set(index 0)
    foreach(key ${p${number}_suites})
      list(APPEND rows_${index} "${number}:${key}")
      math(EXPR index "${index} + 1")
    endforeach()
  endforeach()
  set(index 0)
  while(DEFINED rows_${index})
    list(APPEND rows ${rows_${index}})
    math(EXPR index "${index} + 1")
  endwhile()

  set(round 0)
  set(left TRUE)
  while(left)
    set(left FALSE)
    foreach(row ${rows})
      string(REGEX MATCH "^[0-9]+" number "${row}")
      string(REGEX REPLACE "^[0-9]+:" "" key "${row}")
      list(LENGTH p${number}_${key}_names count)
      if(NOT round LESS count)
        continue()
      endif()
      set(left TRUE)
      list(GET p${number}_${key}_names ${round} name)
      list(GET p${number}_${key}_cases ${round} test_case)
      string(APPEND script
        "add_test(${name} [==[${ARG_RUNNER}]==] [==[${program_${number}}]==] ${test_case})\n"
        "set_tests_properties(${name} PROPERTIES"
        " WORKING_DIRECTORY [==[${ARG_WORKING_DIRECTORY}]==]"
        " SKIP_REGULAR_EXPRESSION [==[\\[  SKIPPED \\]]==]"
        " ENVIRONMENT [==[${ARG_ENVIRONMENT}]==])\n")
      # The Qt WebEngine tests carry a label of their own (ctest -L webengine).
      get_filename_component(program_name "${program_${number}}" NAME)
      if(program_name STREQUAL "test_webengine")
        string(APPEND script "set_tests_properties(${name} PROPERTIES LABELS webengine)\n")
      endif()
      if(test_case MATCHES "(\\[|\\.)DISABLED_")
        string(APPEND script "set_tests_properties(${name} PROPERTIES DISABLED TRUE)\n")
      endif()
    endforeach()
    math(EXPR round "${round} + 1")
  endwhile()
  file(WRITE "${ARG_OUTPUT}" "${script}")
endfunction()
