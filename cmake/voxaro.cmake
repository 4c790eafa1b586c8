# The layers and their files. Each folder names its own files, headers included; the top level
# builds one static library per layer. A layer uses only the layers below it:
#   base      base/: system types, exceptions, TStream, TStrings
#   platform  platform/: the few OS services the portable code needs   uses base
#   core      support/, containers/, formats/ (the file formats), import/ (the pipeline)
#                                                                      uses platform, base
#   layout    controls/: the markup label's portable layout            uses base
#   windows   framework/, controls/, background/, app/ (the program)   uses all of the above
# A file may include the headers of its own layer and of the layers it uses, nothing else, and
# lies in a folder of its layer; the build checks both before it compiles a library
# (cmake/check_layers.cmake).
#
#   voxaro_layer(LAYER file...)              files of every platform
#   voxaro_layer_windows(LAYER file...)      files of the Windows build only
#   voxaro_layer_posix(LAYER file...)        files of the POSIX build only
#   voxaro_layer_libraries(LAYER lib...)     system libraries a layer links on Windows
#   voxaro_layer_libraries_everywhere(LAYER lib...)  libraries a layer links on every platform
#   voxaro_tests(file...)                    tests of portable units (native and Windows)
#   voxaro_windows_tests(file...)            tests of Windows-only units
#   voxaro_windows_test_helper(name file...) a Windows program the tests start, built beside them
set(VOXARO_LAYERS base platform core layout windows)
set(VOXARO_USES_base "")
set(VOXARO_USES_platform base)
set(VOXARO_USES_core platform base)
set(VOXARO_USES_layout base)
set(VOXARO_USES_windows core layout platform base)
set(VOXARO_FOLDERS_base base)
set(VOXARO_FOLDERS_platform platform)
set(VOXARO_FOLDERS_core support containers formats import)
set(VOXARO_FOLDERS_layout controls)
set(VOXARO_FOLDERS_windows framework controls background app)

function(_voxaro_append property)
  foreach(f IN LISTS ARGN)
    get_filename_component(abs ${f} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY ${property} ${abs})
  endforeach()
endfunction()

function(_voxaro_check_layer layer)
  if(NOT layer IN_LIST VOXARO_LAYERS)
    message(FATAL_ERROR "unknown layer ${layer}")
  endif()
endfunction()

function(voxaro_layer layer)
  _voxaro_check_layer(${layer})
  _voxaro_append(VOXARO_LAYER_${layer} ${ARGN})
endfunction()

function(voxaro_layer_windows layer)
  _voxaro_check_layer(${layer})
  if(WIN32)
    _voxaro_append(VOXARO_LAYER_${layer} ${ARGN})
  endif()
endfunction()

function(voxaro_layer_posix layer)
  _voxaro_check_layer(${layer})
  if(NOT WIN32)
    _voxaro_append(VOXARO_LAYER_${layer} ${ARGN})
  endif()
endfunction()

function(voxaro_layer_libraries layer)
  _voxaro_check_layer(${layer})
  if(WIN32)
    set_property(GLOBAL APPEND PROPERTY VOXARO_LIBS_${layer} ${ARGN})
  endif()
endfunction()

function(voxaro_layer_libraries_everywhere layer)
  _voxaro_check_layer(${layer})
  set_property(GLOBAL APPEND PROPERTY VOXARO_LIBS_${layer} ${ARGN})
endfunction()

function(voxaro_tests)
  _voxaro_append(VOXARO_TEST_SOURCES ${ARGN})
endfunction()

function(voxaro_windows_tests)
  if(WIN32)
    _voxaro_append(VOXARO_TEST_SOURCES ${ARGN})
  endif()
endfunction()

function(voxaro_windows_test_helper name)
  if(WIN32)
    add_executable(${name} ${ARGN})
    target_compile_options(${name} PRIVATE ${VOXARO_WARNINGS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    set_property(GLOBAL APPEND PROPERTY VOXARO_TEST_HELPERS ${name})
  endif()
endfunction()

# The layer check, once per build tree: a stamp that every layer library waits for, made anew
# whenever a file of a layer changes.
function(voxaro_layer_check)
  set(manifest ${CMAKE_BINARY_DIR}/voxaro_layers.cmake)
  set(content "set(VOXARO_LAYERS ${VOXARO_LAYERS})\nset(VOXARO_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")\n")
  set(all_files)
  foreach(layer IN LISTS VOXARO_LAYERS)
    get_property(files GLOBAL PROPERTY VOXARO_LAYER_${layer})
    list(APPEND all_files ${files})
    string(APPEND content "set(VOXARO_USES_${layer} ${VOXARO_USES_${layer}})\n")
    string(APPEND content "set(VOXARO_FOLDERS_${layer} ${VOXARO_FOLDERS_${layer}})\n")
    string(APPEND content "set(VOXARO_FILES_${layer} \"${files}\")\n")
  endforeach()
  file(GENERATE OUTPUT ${manifest} CONTENT "${content}")
  set(stamp ${CMAKE_BINARY_DIR}/voxaro_layers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DSTAMP=${stamp}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    DEPENDS ${all_files} ${manifest} ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    COMMENT "Checking that each layer includes only the layers it uses"
    VERBATIM)
  add_custom_target(voxaro_layers_checked DEPENDS ${stamp})
endfunction()

# One library per layer for a variant of the build (plain, sanitized, fuzzing); the libraries
# are voxaro_<layer><suffix>. Layers without files in this build (windows on POSIX) are left out.
function(voxaro_layer_libraries_for suffix)
  set(flags ${ARGN})
  foreach(layer IN LISTS VOXARO_LAYERS)
    get_property(files GLOBAL PROPERTY VOXARO_LAYER_${layer})
    set(sources ${files})
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(NOT sources)
      continue()
    endif()
    set(target voxaro_${layer}${suffix})
    add_library(${target} STATIC ${files})
    add_dependencies(${target} voxaro_layers_checked)
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(${target} PRIVATE ${VOXARO_WARNINGS} PUBLIC ${flags})
    target_link_options(${target} PUBLIC ${flags})
    if(WIN32)
      target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
    endif()
    foreach(used IN LISTS VOXARO_USES_${layer})
      if(TARGET voxaro_${used}${suffix})
        target_link_libraries(${target} PUBLIC voxaro_${used}${suffix})
      endif()
    endforeach()
    get_property(libraries GLOBAL PROPERTY VOXARO_LIBS_${layer})
    if(libraries)
      target_link_libraries(${target} PUBLIC ${libraries})
    endif()
  endforeach()
endfunction()

set(VOXARO_WARNINGS -Wall -Wextra -Werror)
set(VOXARO_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# The race detector's tree (the import reads and stores on two threads). At -O1 -g1 it compiles a
# third faster than at -O2 -g, and its reports still name file and line.
set(VOXARO_TSAN_FLAGS -fsanitize=thread -O1 -g1 -fno-omit-frame-pointer)
