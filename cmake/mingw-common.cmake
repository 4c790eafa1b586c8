# The -posix compilers: the win32 thread model lacks std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${VOXARO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOXARO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VOXARO_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VOXARO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime, so the programs run on a plain Windows without extra DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
