include_guard(GLOBAL)

# quillon_add_fuzzer(NAME SOURCES src... LIBS lib... [SMOKE_RUNS n])
# Builds a libFuzzer target and registers a short smoke run of it as a test.
function(quillon_add_fuzzer name)
  cmake_parse_arguments(F "" "SMOKE_RUNS" "SOURCES;LIBS" ${ARGN})
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
  endif()
  if(NOT F_SMOKE_RUNS)
    set(F_SMOKE_RUNS 20000)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY QUILLON_FUZZERS ${name})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME fuzz_smoke.${name}
           COMMAND ${name} -runs=${F_SMOKE_RUNS} -max_total_time=20 -seed=1 ${corpus})
  # Leaks inside the codec libraries themselves are not ours to report.
  set_tests_properties(fuzz_smoke.${name} PROPERTIES ENVIRONMENT
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/codec-libraries.supp:print_suppressions=0")
endfunction()

# quillon_fuzz_seeds(FUZZER WRITER SOURCE src LIBS lib... OUTPUT path)
# Builds a program that writes seed inputs to OUTPUT and runs it each time FUZZER is built.
function(quillon_fuzz_seeds fuzzer writer)
  cmake_parse_arguments(S "" "SOURCE;OUTPUT" "LIBS" ${ARGN})
  if(NOT TARGET ${fuzzer})
    return()
  endif()
  add_executable(${writer} ${S_SOURCE})
  target_link_libraries(${writer} PRIVATE ${S_LIBS})
  add_dependencies(${fuzzer} ${writer})
  add_custom_command(TARGET ${fuzzer} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:${writer}> ${S_OUTPUT})
endfunction()
