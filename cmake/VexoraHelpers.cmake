# vx_library(NAME DIR DEPS...): a static library of every .cpp in DIR (one class per file pair).
function(vx_library name dir)
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# vx_test(NAME SOURCES... LIBS ...): one GoogleTest executable registered with CTest.
function(vx_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_LIBS} vx_testcommon GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE VX_BIN_DIR="${VX_BIN_DIR}"
                                               VX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "VX_BIN_DIR=${VX_BIN_DIR}" TIMEOUT 600)
endfunction()
