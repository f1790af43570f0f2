# Small helpers shared by every folder of the tree.

# qn_library(<target> [DEPS ...] [WIN32_LIBS ...] [NATIVE_LIBS ...])
# Builds a static library from every .cpp in the calling folder; headers are
# included as "folder/file.h" from the source root.
function(qn_library target)
    cmake_parse_arguments(ARG "" "" "DEPS;WIN32_LIBS;NATIVE_LIBS;SOURCES" ${ARGN})
    if(ARG_SOURCES)
        set(sources ${ARG_SOURCES})
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    if(NOT sources)
        set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    if(WIN32)
        target_link_libraries(${target} PUBLIC ${ARG_WIN32_LIBS})
    else()
        target_link_libraries(${target} PUBLIC ${ARG_NATIVE_LIBS})
    endif()
endfunction()

# qn_test(<target> [SOURCES ...] [DEPS ...] [LOCKS ...] [PROPERTIES ...])
# One GoogleTest executable per tested folder; every .cpp of the calling folder
# unless SOURCES is given. Tests are discovered when CTest runs (under Wine for
# the Windows builds, through CMAKE_CROSSCOMPILING_EMULATOR), never while
# building: a machine that cannot run a build's programs still builds it.
# LOCKS names the CTest resource locks every test of the program holds.
function(qn_test target)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LOCKS;PROPERTIES" ${ARGN})
    if(ARG_SOURCES)
        set(sources ${ARG_SOURCES})
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    # Discovery at test time flattens list-valued PROPERTIES: a lock list
    # "a;b" would come out as the lock a and a property named b.
    if(RESOURCE_LOCK IN_LIST ARG_PROPERTIES)
        message(FATAL_ERROR "qn_test(${target}): give resource locks as LOCKS, not PROPERTIES")
    endif()
    add_executable(${target} ${sources})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} qn_gtest_main)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
    if(ARG_LOCKS)
        # Read by CTest after the discovered tests (include files run in the
        # order they were added), with the list kept whole.
        set(locks_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_locks.cmake)
        file(WRITE ${locks_file}
            "if(${target}_TESTS)\n"
            "  set_tests_properties(\${${target}_TESTS} PROPERTIES RESOURCE_LOCK [==[${ARG_LOCKS}]==])\n"
            "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${locks_file})
    endif()
endfunction()
