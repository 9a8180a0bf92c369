# The program's folders as layered static libraries, and the check that no
# file includes a layer above its own.

# Which layers each layer may include (itself included).
set(TARVENIX_LAYER_base base)
set(TARVENIX_LAYER_sessions base sessions)
set(TARVENIX_LAYER_servers base servers)
set(TARVENIX_LAYER_actions base sessions actions)
set(TARVENIX_LAYER_startup base sessions servers startup)
set(TARVENIX_LAYER_app base sessions servers actions startup app)
set(TARVENIX_LAYER_cli base sessions servers actions startup cli)
set(TARVENIX_LAYERS base sessions servers actions startup app cli)

# tarvenix_layer(NAME DEPENDENCIES...): the library tarvenix_NAME from the
# folder NAME (portable sources everywhere, *_win.cpp on Windows only; the
# entry point *_main_win.cpp is left to its executable).
#
# The library and whatever links it see only the layers NAME may use: its
# include directory is a folder of the build tree holding one link per allowed
# layer, so "app/main_window.h" (or <app/main_window.h>) written in base does
# not compile. A relative include ("../app/x.h") is found beside the including
# file whatever the include directories: the layer check, run before every
# layer is compiled, refuses it (and every other form).
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
  tarvenix_layer_view(${name} view)
  target_include_directories(tarvenix_${name} ${scope} ${view})
  foreach(dep IN LISTS ARGN)
    target_link_libraries(tarvenix_${name} ${scope} tarvenix_${dep})
  endforeach()
  if(TARGET tarvenix_layer_check)
    add_dependencies(tarvenix_${name} tarvenix_layer_check)
  endif()
endfunction()

# tarvenix_layer_view(NAME OUT): the include directory of layer NAME (links to
# the folders of the layers it may use). Where links cannot be made (Windows
# without the right to make them) it is the source tree, and only the layer
# check guards the layers. The tree is TARVENIX_LAYER_ROOT when set (the
# compile check of the test fixtures), else the source tree.
function(tarvenix_layer_view name out)
  set(view ${CMAKE_BINARY_DIR}/layer-include/${name})
  file(MAKE_DIRECTORY ${view})
  set(root ${CMAKE_SOURCE_DIR})
  if(TARVENIX_LAYER_ROOT)
    set(root ${TARVENIX_LAYER_ROOT})
  endif()
  foreach(allowed IN LISTS TARVENIX_LAYER_${name})
    set(link ${view}/${allowed})
    if(IS_SYMLINK ${link})
      file(READ_SYMLINK ${link} target)
      if(target STREQUAL "${root}/${allowed}")
        continue()
      endif()
      file(REMOVE ${link})
    endif()
    file(CREATE_LINK ${root}/${allowed} ${link} RESULT failed SYMBOLIC)
    if(failed)
      message(STATUS "Layer ${name}: no link ${link} (${failed}); the source tree is its include directory")
      set(${out} ${root} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} ${view} PARENT_SCOPE)
endfunction()

# tarvenix_check_layers(ROOT): fails the configuration when a source of one
# layer includes a header of a layer it may not use, and makes the target
# tarvenix_layer_check that checks again whenever a layer's file changes
# (every layer library is built after it, so such an include fails the build).
function(tarvenix_check_layers root)
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_layers.cmake)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${script}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Layer check failed:\n${out}${err}")
  endif()
  set(patterns "")
  foreach(layer IN LISTS TARVENIX_LAYERS)
    foreach(extension h hh hpp hxx inl ipp c cc cpp cxx)
      list(APPEND patterns ${root}/${layer}/*.${extension})
    endforeach()
  endforeach()
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${patterns})
  set(stamp ${CMAKE_BINARY_DIR}/layer-check.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${script}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${files} ${script} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMENT "Checking that every include goes down the layers"
    VERBATIM)
  add_custom_target(tarvenix_layer_check DEPENDS ${stamp})
endfunction()
