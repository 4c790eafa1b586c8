# The libraries the workbook reader uses: zlib inflates the zip container's entries, expat parses
# the XML inside. Natively Debian's packages (the plain, sanitized, ThreadSanitizer and fuzz trees
# link the same ones); the mingw trees take zlib from Debian's mingw package and build expat from
# Debian's source package, which scripts/install-deps.sh unpacks under build/deps.
if(WIN32)
  # Linked statically, as everything the programs need, so that they run without extra DLLs.
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)

  file(GLOB expat_dirs ${CMAKE_SOURCE_DIR}/build/deps/expat-*/expat)
  list(SORT expat_dirs)
  list(POP_BACK expat_dirs expat_dir)
  set(VOXARO_EXPAT_SOURCE_DIR "${expat_dir}" CACHE PATH "expat's sources (its lib/ and CMakeLists.txt)")
  if(NOT EXISTS "${VOXARO_EXPAT_SOURCE_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "expat's sources are missing under build/deps: run scripts/install-deps.sh")
  endif()
  # The library alone, static. Its protection against entity expansion is built in and stays on
  # (the reader refuses every document type declaration besides).
  foreach(option BUILD_TOOLS BUILD_EXAMPLES BUILD_TESTS BUILD_DOCS BUILD_PKGCONFIG SHARED_LIBS
                 ENABLE_INSTALL)
    set(EXPAT_${option} OFF CACHE BOOL "" FORCE)
  endforeach()
  add_subdirectory(${VOXARO_EXPAT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/expat EXCLUDE_FROM_ALL)
  # Its own code, its own warnings: the project's -Werror is not for it.
  target_compile_options(expat PRIVATE -w)
  # Debian's security patches test "#if XML_DTD == 1", as the autotools build Debian makes defines
  # it; expat's CMake build defines it empty. The same configuration, with XML_DTD 1, goes ahead
  # of the generated one (DTD support is also what holds the protection against entity expansion).
  file(READ ${CMAKE_BINARY_DIR}/expat/expat_config.h config)
  string(REGEX REPLACE "\n#define XML_DTD\n" "\n#define XML_DTD 1\n" config "${config}")
  set(fixed ${CMAKE_BINARY_DIR}/expat-config/expat_config.h)
  set(old "")
  if(EXISTS ${fixed})
    file(READ ${fixed} old)
  endif()
  if(NOT old STREQUAL config)
    file(WRITE ${fixed} "${config}")
  endif()
  target_include_directories(expat BEFORE PRIVATE ${CMAKE_BINARY_DIR}/expat-config)
  add_library(EXPAT::EXPAT ALIAS expat)
else()
  find_package(ZLIB REQUIRED)
  find_package(EXPAT REQUIRED)
endif()
voxaro_layer_libraries_everywhere(core ZLIB::ZLIB EXPAT::EXPAT)
