# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# for std::thread and std::mutex). Programs are linked statically, so they run
# without the toolchain's DLLs beside them. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MW_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MW_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MW_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MW_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine through our wrapper, which prepares the prefix and keeps one wineserver
# running; the project passes the prefix folder of the build (cmake/Windows.cmake).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
