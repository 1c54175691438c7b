# tav_add_test(NAME name SOURCES ... LIBS ... [TIMEOUT s] [WINDOWS_ONLY] [NATIVE_ONLY])
# One ctest entry per test program. In the Windows build it runs under Wine
# (through the cross-compiling emulator); in the native build under the
# sanitizers. Test programs link the trace variant that records every Trace call.
function(tav_add_test)
    cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_WINDOWS_ONLY AND NOT WIN32)
        return()
    endif()
    if(T_NATIVE_ONLY AND WIN32)
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tav_test_support gtest_main gtest)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    # The tests of one Windows build share a Wine prefix and its registry.
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} RESOURCE_LOCK wineprefix)
endfunction()
