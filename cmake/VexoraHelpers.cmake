# vx_include_root(TARGET DIR...): the target's include root holds only the named source folders
# (as links), so `#include "net/HttpClient.h"` builds only where vx_net is linked. A lower library
# that includes a higher one therefore fails to compile instead of quietly growing a cycle.
function(vx_include_root target)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    foreach(dir ${ARGN})
        get_filename_component(parent ${root}/${dir} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${root}/${dir} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# vx_library(NAME DIR [PUBLIC libs...] [PRIVATE libs...]): a static library of every .cpp in DIR
# (one class per file pair) with DIR as its include root. Links are PRIVATE unless the
# library's own headers include the other library's headers.
function(vx_library name dir)
    cmake_parse_arguments(L "" "" "PUBLIC;PRIVATE" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    vx_platform_sources(srcs)
    add_library(${name} STATIC ${srcs})
    vx_include_root(${name} ${dir})
    target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
endfunction()

# Files named *_posix.cpp build only for Linux, *_win.cpp only for Windows.
function(vx_platform_sources var)
    if(WIN32)
        list(FILTER ${var} EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER ${var} EXCLUDE REGEX "_win\\.cpp$")
    endif()
    set(${var} ${${var}} PARENT_SCOPE)
endfunction()

# vx_test(NAME SOURCES... LIBS ...): one GoogleTest executable registered with CTest.
function(vx_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    if(WIN32)
        # Files that test what has no Windows side yet (see tests/windows-tests.cmake).
        foreach(skip ${VX_WINDOWS_SKIPPED_FILES})
            list(FILTER T_SOURCES EXCLUDE REGEX "/${skip}$")
        endforeach()
    endif()
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_LIBS} vx_testcommon GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE VX_BIN_DIR="${VX_BIN_DIR}"
                                               VX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    set(filter)
    if(WIN32 AND VX_WINDOWS_CASE_FILTER)
        set(filter TEST_FILTER ${VX_WINDOWS_CASE_FILTER})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${filter}
                         PROPERTIES ENVIRONMENT "VX_BIN_DIR=${VX_BIN_DIR}" TIMEOUT 600)
endfunction()
