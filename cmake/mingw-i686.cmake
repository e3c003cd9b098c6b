# Cross toolchain: 32-bit Windows (i686) with MinGW-w64, posix thread model.
#
# The posix thread model gives std::thread / std::mutex through winpthreads;
# the win32 model lacks them in this GCC version.  Everything is linked
# statically so the produced .exe/.dll files run on a bare Windows (or Wine)
# without shipping libgcc/libstdc++/libwinpthread DLLs.
#
# Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake ...

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZV_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${ZV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZV_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only; programs (code
# generators etc.) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime.  -static also pulls libwinpthread in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest (and add_custom_command with a target executable) runs cross-built
# programs through Wine.  The caller is expected to provide WINEPREFIX,
# DISPLAY etc. in the environment (see ./dev).
find_program(ZV_WINE_EXECUTABLE NAMES wine)
if(ZV_WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZV_WINE_EXECUTABLE})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
