# Cross-compiling the driver for 64-bit Windows with Debian's mingw-w64 toolchain, posix-thread
# variant (std::mutex and std::thread over winpthreads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELM_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELM_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELM_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VELM_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELM_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The C and C++ runtimes and winpthreads go into each DLL, so that it needs only system DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
