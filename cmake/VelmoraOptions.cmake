# Compiler warnings and sanitizers, applied to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow)
# GCC 12 at -O2 takes "text" + std::string for an overlapping copy of absurd size (a compiler fault fixed in
# GCC 13); the warning says nothing about our code there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-restrict)
endif()

if(VELMORA_SANITIZE AND VELMORA_SANITIZE_THREAD)
    message(FATAL_ERROR "VELMORA_SANITIZE and VELMORA_SANITIZE_THREAD exclude each other")
endif()

if(VELMORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(VELMORA_SANITIZE_THREAD)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Coverage feedback for libFuzzer in every library; the fuzz executables link the fuzzer itself.
if(VELMORA_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
