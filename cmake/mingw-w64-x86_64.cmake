# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (posix threads, for std::thread and
# std::mutex). Used by scripts/windows-build.sh; the staging prefix of the cross-built libraries
# (GoogleTest, the JSON headers) comes in as VELMORA_WINDOWS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(toolPrefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${toolPrefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${toolPrefix}-g++-posix)
set(CMAKE_RC_COMPILER ${toolPrefix}-windres)

# Libraries and packages only from the MinGW sysroot and the staging prefix, never from the Linux
# system; the build's own programs (ninja, pkg-config) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${toolPrefix} ${VELMORA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not offer the Linux libraries to the cross build: it looks only in the MinGW sysroot and
# the staging prefix. (An empty PKG_CONFIG_LIBDIR would not do: CMake removes an environment variable set
# to nothing, and pkg-config then falls back to the Linux folders.)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${toolPrefix}/lib/pkgconfig")
if(VELMORA_WINDOWS_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} "${VELMORA_WINDOWS_PREFIX}/lib/pkgconfig:$ENV{PKG_CONFIG_LIBDIR}")
endif()
unset(ENV{PKG_CONFIG_PATH})

# The executables carry the GCC runtime, libstdc++ and winpthread inside: nothing to copy beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and tools run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
