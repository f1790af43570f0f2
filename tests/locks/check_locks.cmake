# Reads `ctest --show-only=json-v1` of BUILD_DIR and fails when a test lacks a
# resource lock its program needs. Usage:
#   cmake -DCTEST=ctest -DBUILD_DIR=build/x -P check_locks.cmake
cmake_minimum_required(VERSION 3.25)

# What each program shares, by a pattern on the test's command line. A
# program of a suite that reaches the registered server, the registry or the
# fixed port (the folders below) must be listed; "-" lists one that shares
# nothing. First match wins.
set(rules
    "/test_server(\\.exe)? =registry,backend_port_11000"
    "/test_host_commands(\\.exe)? =registry,backend_port_11000"
    "/test_demo_script =registry,backend_port_11000"
    "/package_test\\.sh =registry,backend_port_11000"
    "/bridge_package_test\\.sh =registry,backend_port_11000"
    "/test_load\\.exe =registry,backend_port_11000"
    "/test_bridge_wine\\.exe =registry,backend_port_11000"
    "/test_config\\.exe =registry"
    "/test_bridge_configure(\\.exe)? =registry"
    "/test_bridge_process\\.exe =registry"
    "/test_tools_fixed_port(\\.exe)? =backend_port_11000"
    # in process on free ports, or a scratch registry store of their own
    "/test_load =-"
    "/test_load_relay(\\.exe)? =-"
    "/test_host_units(\\.exe)? =-"
    "/test_demo_backend =-"
    "/test_tools(\\.exe)? =-"
    "/test_faults(\\.exe)? =-"
    "/test_faults_registry =-"
    "/test_bridge(\\.exe)? =-"
    "/test_bridge_process =-")
set(shared_suites "/tests/(server|host|load|installer|demo|tools|faults|bridge|bridge_process)/")

execute_process(COMMAND ${CTEST} --show-only=json-v1 --test-dir ${BUILD_DIR}
    OUTPUT_VARIABLE json RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ctest --show-only failed (${status}): ${errors}")
endif()
string(JSON count LENGTH "${json}" tests)
if(count EQUAL 0)
    message(FATAL_ERROR "ctest lists no tests in ${BUILD_DIR}")
endif()

set(faults 0)
set(checked 0)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON test GET "${json}" tests ${i})
    string(JSON name GET "${test}" name)
    string(JSON command ERROR_VARIABLE none GET "${test}" command)
    if(none)
        continue()
    endif()
    # The command as one line, each word followed by a space.
    set(line "")
    string(JSON words LENGTH "${test}" command)
    math(EXPR lastWord "${words} - 1")
    foreach(w RANGE ${lastWord})
        string(JSON word GET "${test}" command ${w})
        string(APPEND line "${word} ")
    endforeach()

    set(needed "")
    set(known FALSE)
    foreach(rule ${rules})
        string(REGEX REPLACE "=.*" "" pattern "${rule}")
        string(REGEX REPLACE ".*=" "" locks "${rule}")
        if(line MATCHES "${pattern}")
            set(known TRUE)
            if(NOT locks STREQUAL "-")
                string(REPLACE "," ";" needed "${locks}")
            endif()
            break()
        endif()
    endforeach()
    if(NOT known)
        if(line MATCHES "${shared_suites}")
            message(SEND_ERROR "${name}: its program is not listed in ${CMAKE_CURRENT_LIST_FILE}; "
                               "say which locks it needs")
            math(EXPR faults "${faults} + 1")
        endif()
        continue()
    endif()

    set(held "")
    string(JSON properties ERROR_VARIABLE none LENGTH "${test}" properties)
    if(NOT none AND properties GREATER 0)
        math(EXPR lastProperty "${properties} - 1")
        foreach(p RANGE ${lastProperty})
            string(JSON property GET "${test}" properties ${p} name)
            if(property STREQUAL "RESOURCE_LOCK")
                string(JSON values LENGTH "${test}" properties ${p} value)
                math(EXPR lastValue "${values} - 1")
                foreach(v RANGE ${lastValue})
                    string(JSON value GET "${test}" properties ${p} value ${v})
                    list(APPEND held "${value}")
                endforeach()
            endif()
        endforeach()
    endif()
    foreach(lock ${needed})
        if(NOT lock IN_LIST held)
            message(SEND_ERROR "${name}: holds [${held}], lacks the lock ${lock}")
            math(EXPR faults "${faults} + 1")
        endif()
    endforeach()
    math(EXPR checked "${checked} + 1")
endforeach()

if(faults GREATER 0)
    message(FATAL_ERROR "${faults} missing lock(s) among ${count} tests")
endif()
message(STATUS "${checked} of ${count} tests checked; every lock is held")
