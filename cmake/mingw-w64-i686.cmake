# 32-bit Windows (i686), the product of record.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TESSORA_MINGW_TRIPLET i686-w64-mingw32)
set(TESSORA_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
