# The Windows program: the main window over the core, a GUI executable linked statically.
add_executable(voxaro WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(voxaro PRIVATE voxaro_windows)
target_compile_options(voxaro PRIVATE ${VOXARO_WARNINGS})
target_link_options(voxaro PRIVATE -static -mwindows)
set_target_properties(voxaro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(COMMAND voxaro_link_resources)
  voxaro_link_resources(voxaro)
endif()
