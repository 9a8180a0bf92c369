# The program's folders as layered static libraries, and the check that no
# file includes a layer above its own.

# Which layers each layer may include (itself included).
set(TARVENIX_LAYER_base base)
set(TARVENIX_LAYER_sessions base sessions)
set(TARVENIX_LAYER_servers base servers)
set(TARVENIX_LAYER_actions base sessions actions)
set(TARVENIX_LAYER_app base sessions servers actions app)
set(TARVENIX_LAYER_cli base sessions servers actions cli)
set(TARVENIX_LAYERS base sessions servers actions app cli)

# tarvenix_layer(NAME DEPENDENCIES...): the library tarvenix_NAME from the
# folder NAME (portable sources everywhere, *_win.cpp on Windows only; the
# entry point *_main_win.cpp is left to its executable).
function(tarvenix_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_main_win\\.cpp$")
  if(NOT WIN32)
    list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
  endif()
  if(sources)
    add_library(tarvenix_${name} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(tarvenix_${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(tarvenix_${name} ${scope} ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(dep IN LISTS ARGN)
    target_link_libraries(tarvenix_${name} ${scope} tarvenix_${dep})
  endforeach()
endfunction()

# tarvenix_check_layers(ROOT): fails the configuration when a source of one
# layer includes a header of a layer it may not use.
function(tarvenix_check_layers root)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_layers.cmake
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Layer check failed:\n${out}${err}")
  endif()
endfunction()
