# A file of the lower layer lies in a folder of the higher one: the check must fail.
set(VOXARO_LAYERS low high)
set(VOXARO_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/tree")
set(VOXARO_USES_low "")
set(VOXARO_USES_high low)
set(VOXARO_FILES_low "${VOXARO_SOURCE_DIR}/low/base.h;${VOXARO_SOURCE_DIR}/high/window.h")
set(VOXARO_FILES_high "")
set(VOXARO_FOLDERS_low low)
set(VOXARO_FOLDERS_high high)
