# Cross-compiling the kit for Windows with MinGW-w64 (64-bit): the product's libraries and
# programs and their tests as Windows binaries, run here under Wine. The posix thread model,
# so the tests' std::thread and std::mutex work; everything linked statically, so a Windows
# prefix needs none of MinGW's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KIT_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KIT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KIT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
