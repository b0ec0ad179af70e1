# velmora_add_test(<name> [THREADS] SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable; every test case in it becomes a CTest test. THREADS marks an executable
# whose tests make threads meet: test.sh runs those once more under ThreadSanitizer (label "threads").
function(velmora_add_test name)
    cmake_parse_arguments(ARG "THREADS" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} velmora_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    set(label unit)
    if(ARG_THREADS)
        set(label threads)
        set_property(GLOBAL APPEND PROPERTY VELMORA_THREAD_TESTS ${name})
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 LABELS ${label})
endfunction()
