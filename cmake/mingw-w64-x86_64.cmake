# Cross-builds the Windows programs with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Everything is linked statically so that the .exe files need no DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MZT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MZT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MZT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MZT_MINGW_PREFIX}-windres)
set(CMAKE_AR ${MZT_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${MZT_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MZT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthreads go into each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 7 and later: the wide-character APIs the backends use are all there.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# Tests run the programs under Wine.
find_program(MZT_WINE wine)
if(MZT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MZT_WINE})
endif()
