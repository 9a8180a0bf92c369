# cmake -DROOT=<tree> -DEXPECT=<text> -P expect_layer_refusal.cmake
# Runs the layer check on a tree that breaks the layers and passes only when
# the check fails (a non-zero exit status) and names the offending include.
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "the layer check accepted ${ROOT}:\n${out}${err}")
endif()
string(FIND "${out}${err}" "${EXPECT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the layer check failed without naming '${EXPECT}':\n${out}${err}")
endif()
message(STATUS "refused: ${EXPECT}")
