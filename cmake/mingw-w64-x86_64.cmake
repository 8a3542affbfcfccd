# 64-bit Windows (x86_64), shipped beside the 32-bit programs. Its tests need no 32-bit support
# from the kernel, so they run on every machine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TESSORA_MINGW_TRIPLET x86_64-w64-mingw32)
set(TESSORA_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
