# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64).
# The POSIX-threads compilers are used: the win32-threads ones lack std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PAPYRANT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PAPYRANT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAPYRANT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PAPYRANT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PAPYRANT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: libgcc, libstdc++ and winpthread linked in, so nothing but system DLLs
# is needed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
