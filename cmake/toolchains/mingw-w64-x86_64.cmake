# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
# The posix flavour carries std::thread and the other C++ threading pieces. Programs are
# linked statically, so they run on a bare Windows, or under wine, with no compiler DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tessora_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tessora_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tessora_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tessora_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${tessora_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
