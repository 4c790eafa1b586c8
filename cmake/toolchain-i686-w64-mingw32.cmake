# 32-bit Windows release build. Its tests are not registered with CTest: scripts/test-win32.sh
# runs them under the 32-bit Wine, starting each program as seldom as an emulator demands.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VOXARO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
