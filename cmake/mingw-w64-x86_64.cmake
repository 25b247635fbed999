# Cross-building the Windows x64 programs on Debian with MinGW-w64 (POSIX thread model, so
# std::thread and std::mutex work). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry their C and C++ run-time inside: nothing to ship beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and test discovery run the programs under Wine (scripts/wine-run picks the build's
# private prefix).
get_filename_component(VX_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VX_SOURCE_ROOT}/scripts/wine-run)
