# Cross-compiles Windows programs with Debian's MinGW-w64; included by the toolchain file of each
# width after it has set TESSORA_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR and TESSORA_WINEARCH. The
# -posix compilers are needed: GCC 12's -win32 thread model has no std::thread or std::mutex, and
# GoogleTest needs them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${TESSORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${TESSORA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs must run on a bare Windows with no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine of the same width, in a prefix private to this build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${TESSORA_WINEARCH};${CMAKE_BINARY_DIR}/wine-prefix")
