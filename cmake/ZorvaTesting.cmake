# How tests and fuzzers are declared, so that the sanitizer and fuzz runs find them all.

include(GoogleTest)

# A test executable whose code runs on more than one thread (the task runner, the download
# writer, the process launcher, a test peer serving on its own thread): scripts/test also
# builds it with ThreadSanitizer (target zorva_threaded_tests) and runs its tests there (label
# "threads"). A core test says THREADS to zorva_core_test; any other names its CTest tests:
#   zorva_threaded_test(my_window_test TESTS my_window_test)
add_custom_target(zorva_threaded_tests)
function(zorva_threaded_test target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "TESTS")
  add_dependencies(zorva_threaded_tests ${target})
  if(arg_TESTS)
    set_property(TEST ${arg_TESTS} APPEND PROPERTY LABELS threads)
  endif()
endfunction()

# Every GoogleTest executable tests Qt-free code: it is one of the core tests, which
# scripts/test also runs under AddressSanitizer and UndefinedBehaviorSanitizer (label "core",
# built together by the target zorva_core_tests).
#   zorva_core_test(my_engine_tests [THREADS])
add_custom_target(zorva_core_tests)
function(zorva_core_test target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "THREADS" "" "")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES
    PROPERTIES LABELS core)
  add_dependencies(zorva_core_tests ${target})
  if(arg_THREADS)
    zorva_threaded_test(${target})
    # The discovered tests exist only when CTest reads the discovery's list (${target}_TESTS):
    # a script CTest includes after it adds the label (a list does not survive the PROPERTIES
    # of gtest_discover_tests).
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_threads.cmake)
    file(WRITE ${script} "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} "
                         "PROPERTIES LABELS \"core;threads\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# A libFuzzer target over one parser of outside input (clang builds with ZORVA_FUZZ only):
#   zorva_add_fuzzer(NAME SOURCE LIBRARIES...)
# builds fuzz_NAME from SOURCE (which defines LLVMFuzzerTestOneInput and checks a property),
# seeds it from tests/fuzz/corpus/NAME/, and adds a CTest test (label "fuzz") that runs it
# briefly on those seeds, with a fixed seed and count so that the test gives the same answer on
# every run of a fresh build. scripts/fuzz runs every fuzzer longer, at random.
function(zorva_add_fuzzer name source)
  if(NOT ZORVA_FUZZ)
    return()
  endif()
  add_executable(fuzz_${name} ${source})
  target_link_libraries(fuzz_${name} PRIVATE zorva_build_options ${ARGN})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(zorva_core_tests fuzz_${name})
  set(seeds ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  set(found ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  set(findings ${CMAKE_BINARY_DIR}/fuzz-findings/${name})
  file(MAKE_DIRECTORY ${found} ${findings})
  # New inputs go to the build folder; the seeds in the source tree stay as they are.
  add_test(NAME fuzz_${name}
    COMMAND fuzz_${name} -seed=1 -runs=${ZORVA_FUZZ_TEST_RUNS} -timeout=10
            -artifact_prefix=${findings}/ ${found} ${seeds})
  set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# A pytest test on Debian's python3 (the one with pyftpdlib and aiosmtpd), run from the top of
# the repository, whose pytest.ini puts the simulator and the test helpers on the path:
#   zorva_add_pytest(NAME PATH [TIMEOUT seconds] [ENVIRONMENT var=value...])
# PATH is a test file or folder; ENVIRONMENT names the built programs the test runs.
function(zorva_add_pytest name path)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "TIMEOUT" "ENVIRONMENT")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zorva_add_pytest(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  add_test(NAME ${name}
    COMMAND ${SYSTEM_PYTHON3} -m pytest -q -p no:cacheprovider ${path}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  if(arg_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  endif()
  if(arg_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
  endif()
endfunction()
