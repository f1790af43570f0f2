# Host tools and files the Windows builds take from Debian packages, looked up
# once here so that the folders using them name no machine paths, and a missing
# one stops configuring with the package that provides it. Each result is a
# cache entry: -D<variable>=<path> points a build at another location.
#
#   QN_WIDL            IDL compiler (the target-prefixed one when installed)
#   QN_WIDL_KIND       --win32 or --win64, the type library's system kind
#   QN_WINE_IDL_DIR    folder holding oaidl.idl and the other system IDL files
#   QN_STDOLE2_DIR     folder holding stdole2.tlb for the target's width
#   QN_GOOGLETEST_DIR  GoogleTest's sources, built with the cross compiler
#                      (only when the build has tests)
# Native builds need none of them.

# qn_require(<variable> <what it is> <Debian package>)
function(qn_require variable what package)
    if(NOT ${variable})
        message(FATAL_ERROR "${what} not found: install the Debian package ${package}, "
                            "or give its location with -D${variable}=...")
    endif()
endfunction()

# Every lookup is of the build machine's files, outside CMAKE_FIND_ROOT_PATH.
if(QN_BUILD_TESTS AND (WIN32 OR CMAKE_CROSSCOMPILING))
    find_path(QN_GOOGLETEST_DIR googlemock/CMakeLists.txt PATHS /usr/src/googletest
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH DOC "GoogleTest's sources")
    qn_require(QN_GOOGLETEST_DIR "GoogleTest's sources" googletest)
endif()

if(NOT WIN32)
    return()
endif()

find_program(QN_WIDL NAMES ${QN_MINGW_TRIPLE}-widl widl DOC "IDL compiler")
qn_require(QN_WIDL "widl (${QN_MINGW_TRIPLE}-widl or widl)" mingw-w64-tools)

find_path(QN_WINE_IDL_DIR oaidl.idl
    PATHS /usr/include/wine/wine/windows /usr/local/include/wine/wine/windows
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH DOC "Folder of the system IDL files")
qn_require(QN_WINE_IDL_DIR "The system IDL files (oaidl.idl)" libwine-dev)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QN_WIDL_KIND --win64)
    set(qn_wine_dll_dirs /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
                         /usr/lib/wine/x86_64-windows)
    set(qn_stdole2_package "libwine (comes with wine64)")
else()
    set(QN_WIDL_KIND --win32)
    set(qn_wine_dll_dirs /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)
    set(qn_stdole2_package "libwine:i386 (comes with wine32:i386)")
endif()
find_path(QN_STDOLE2_DIR stdole2.tlb PATHS ${qn_wine_dll_dirs}
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH DOC "Folder of stdole2.tlb for the target's width")
qn_require(QN_STDOLE2_DIR "stdole2.tlb for ${QN_WIDL_KIND}" "${qn_stdole2_package}")
