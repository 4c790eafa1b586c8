# Source registration: each folder names its own files; the top level builds the libraries.
#   voxaro_sources(file...)            portable core
#   voxaro_windows_sources(file...)    Windows-only core
#   voxaro_tests(file...)              tests of portable units (native and Windows)
#   voxaro_windows_tests(file...)      tests of Windows-only units
#   voxaro_windows_libraries(lib...)   system libraries the Windows core links
#   voxaro_windows_test_helper(name file...)
#                                      a Windows program the tests start, built beside them
function(_voxaro_append property)
  foreach(f IN LISTS ARGN)
    get_filename_component(abs ${f} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY ${property} ${abs})
  endforeach()
endfunction()

function(voxaro_sources)
  _voxaro_append(VOXARO_CORE_SOURCES ${ARGN})
endfunction()

function(voxaro_windows_sources)
  if(WIN32)
    _voxaro_append(VOXARO_CORE_SOURCES ${ARGN})
  endif()
endfunction()

function(voxaro_posix_sources)
  if(NOT WIN32)
    _voxaro_append(VOXARO_CORE_SOURCES ${ARGN})
  endif()
endfunction()

function(voxaro_windows_libraries)
  if(WIN32)
    set_property(GLOBAL APPEND PROPERTY VOXARO_WINDOWS_LIBS ${ARGN})
  endif()
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

set(VOXARO_WARNINGS -Wall -Wextra -Werror)
set(VOXARO_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
