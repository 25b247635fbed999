# The libraries the Windows build compiles itself from Debian's own sources, prepared by
# scripts/windows-sources in a cache folder that later builds reuse (see the README's Windows
# section). They stand in under the names the Linux build finds: SQLite::SQLite3,
# PkgConfig::JSONCPP, PkgConfig::HTTPLIB, GTest::gtest, GTest::gmock.
set(VX_WINDOWS_DEPS ${CMAKE_SOURCE_DIR}/build/windows-deps CACHE PATH "Cache of the Windows build's library sources")

if(NOT EXISTS ${VX_WINDOWS_DEPS}/sqlite/sqlite3.c OR NOT EXISTS ${VX_WINDOWS_DEPS}/jsoncpp/include/json/json.h
   OR NOT EXISTS ${VX_WINDOWS_DEPS}/httplib/httplib.h)
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/windows-sources ${VX_WINDOWS_DEPS} RESULT_VARIABLE rc)
    if(rc)
        message(FATAL_ERROR "the Windows build's library sources could not be prepared (scripts/windows-sources)")
    endif()
endif()

# Third-party code: built as it is, without our warnings.
add_library(vx_sqlite3 STATIC ${VX_WINDOWS_DEPS}/sqlite/sqlite3.c)
target_include_directories(vx_sqlite3 SYSTEM PUBLIC ${VX_WINDOWS_DEPS}/sqlite)
target_compile_definitions(vx_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_DEFAULT_FOREIGN_KEYS=0
                                              SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(vx_sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS vx_sqlite3)

file(GLOB jsoncpp_srcs ${VX_WINDOWS_DEPS}/jsoncpp/src/lib_json/*.cpp)
add_library(vx_jsoncpp STATIC ${jsoncpp_srcs})
target_include_directories(vx_jsoncpp SYSTEM PUBLIC ${VX_WINDOWS_DEPS}/jsoncpp/include)
target_compile_options(vx_jsoncpp PRIVATE -w)
add_library(PkgConfig::JSONCPP ALIAS vx_jsoncpp)

# cpp-httplib, whole in one header (the simulator only).
add_library(vx_httplib INTERFACE)
target_include_directories(vx_httplib SYSTEM INTERFACE ${VX_WINDOWS_DEPS}/httplib)
target_link_libraries(vx_httplib INTERFACE ws2_32 crypt32)
add_library(PkgConfig::HTTPLIB ALIAS vx_httplib)
