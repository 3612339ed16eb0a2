# Cross build for 32-bit Windows, the width of most device libraries of this kind.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
