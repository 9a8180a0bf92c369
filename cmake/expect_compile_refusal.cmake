# cmake -DTREE=<fixture> -DWORK=<build folder> -DEXPECT=<include>|"" -DGENERATOR=<g> -P expect_compile_refusal.cmake
# Compiles a layer tree with the layers' include directories and nothing
# else (no layer check). With EXPECT, passes only when the build fails and the
# compiler names that include; with an empty EXPECT, only when it succeeds.
get_filename_component(here "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${here}/tests/layers/compile -B ${WORK} -G ${GENERATOR}
                        -DTARVENIX_ROOT=${here} -DFIXTURE=${TREE}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot configure the compile check of ${TREE}:\n${out}${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(EXPECT STREQUAL "")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "a tree whose includes go down did not compile:\n${out}${err}")
  endif()
  message(STATUS "compiled: ${TREE}")
  return()
endif()
if(result EQUAL 0)
  message(FATAL_ERROR "the compiler accepted ${TREE}:\n${out}${err}")
endif()
string(FIND "${out}${err}" "${EXPECT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the build of ${TREE} failed without naming '${EXPECT}':\n${out}${err}")
endif()
message(STATUS "the compiler refused: ${EXPECT}")
