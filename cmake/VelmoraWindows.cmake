# The Windows build (MinGW-w64, cmake/mingw-w64-x86_64.cmake): the system headers' settings, the few
# POSIX names the C runtime spells differently, and the UTF-8 code page for every executable.
# _POSIX_THREAD_SAFE_FUNCTIONS: the runtime offers localtime_r and gmtime_r.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 _POSIX_THREAD_SAFE_FUNCTIONS)
add_compile_options(-include ${PROJECT_SOURCE_DIR}/cmake/windows/posix_names.h)

# The program's strings are UTF-8; the manifest makes the process's "ANSI" code page UTF-8 too (Windows 10
# 1903 and later), so that the C runtime's narrow file calls take UTF-8 names.
# velmora_platform hands it on to every executable that links it.
enable_language(RC)
set(VELMORA_UTF8_MANIFEST_RC ${PROJECT_SOURCE_DIR}/cmake/windows/utf8_manifest.rc)
