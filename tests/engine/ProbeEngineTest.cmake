# Runs quillon-probe engine end to end: cmake -DPROBE=<path> -P ProbeEngineTest.cmake

function(run_probe expected_rc expected_out input)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/probe_input.txt "${input}")
  execute_process(COMMAND ${PROBE} engine ${ARGN}
                  INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/probe_input.txt
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL expected_rc)
    message(FATAL_ERROR "quillon-probe engine ${ARGN}: exit ${rc}, expected ${expected_rc}\n${err}")
  endif()
  if(NOT out STREQUAL expected_out)
    message(FATAL_ERROR "quillon-probe engine ${ARGN}:\n got: [${out}]\n expected: [${expected_out}]")
  endif()
endfunction()

set(colors "Lab[20000,16384,16384][10,20]:Lab[22000,17000,15000][5,6] ")

run_probe(0 "points=12 tetrahedra=17 triangles=6 users=0 anchors=0\n" ""
          --preserve-luminosity off --stats)
run_probe(0 "points=21 tetrahedra=60 triangles=6 users=1 anchors=8\n" ""
          --preserve-luminosity off --fuzziness 1 --colors "Lab[16384,16384,16384]:Lab[20000,17000,15000] " --stats)
# One buffer in input order; the adjustment's original goes to its target within the truncation,
# the corners stay.
run_probe(0 "21999 17000 15000\n0 0 0\n32768 32768 32768\n" "20000 16384 16384\n0 0 0\n32768 32768 32768\n"
          --preserve-luminosity off --fuzziness 5 --colors "${colors}")
# Chroma-only: L passes through untouched.
run_probe(0 "20000 16999 15000\n40000 16999 15000\n" "20000 16384 16384 40000 16384 16384"
          --preserve-luminosity on --colors "${colors}")
# 8 bits: 32768 leaves as 255.
run_probe(0 "255 255 255\n" "156 128 128"
          --preserve-luminosity off --bits 8 --colors "Lab[19968,16384,16384]:Lab[32768,32768,32768] ")
# Bad input: not whole triples, a value out of range, a usage error.
run_probe(1 "" "1 2" --preserve-luminosity off)
run_probe(1 "" "1 2 300" --bits 8)
run_probe(2 "" "" --bits 7)
