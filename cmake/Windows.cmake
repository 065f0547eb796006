# The Windows build (cross-compiled with cmake/mingw-w64.cmake): the cleaning
# engine, its core and contract, the clients' rules (client/), the engine and
# Config objects served over COM, mwservice.exe (service and COM local server),
# and their tests, which run under Wine. The bus layer and the configurator are
# Linux programs. packaging/windows builds the installer.

enable_language(RC)

find_package(Threads REQUIRED)

# Boost.Serialization is built from Debian's source package once per build folder.
set(MW_BOOST_DIR ${CMAKE_BINARY_DIR}/boost)
if(NOT EXISTS ${MW_BOOST_DIR}/lib/libboost_serialization.a)
    execute_process(
        COMMAND ${CMAKE_SOURCE_DIR}/scripts/mingw-boost-serialization.sh ${MW_BOOST_DIR}
                ${CMAKE_CXX_COMPILER}
        TIMEOUT 1800
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Boost.Serialization for mingw could not be built (see above)")
    endif()
endif()
add_library(Boost::serialization STATIC IMPORTED)
set_target_properties(Boost::serialization PROPERTIES
    IMPORTED_LOCATION ${MW_BOOST_DIR}/lib/libboost_serialization.a
    INTERFACE_INCLUDE_DIRECTORIES ${MW_BOOST_DIR}/include
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${MW_BOOST_DIR}/include)

add_subdirectory(contract)
add_subdirectory(common)
add_subdirectory(service/engine)
add_subdirectory(client)
add_subdirectory(service/objects)
add_subdirectory(service/com)
add_subdirectory(service/host/windows)
add_subdirectory(config/win32)
# Last: the installer packs the programs above.
add_subdirectory(packaging/windows)

if(MW_BUILD_TESTS)
    enable_testing()
    # GoogleTest from the sources Debian ships, built with this toolchain (it
    # defines GTest::gtest and GTest::gtest_main itself).
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

    # Every program runs under Wine in a prefix of this build folder.
    set(MW_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(MW_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MW_WINE_RUN} --prefix=${MW_WINEPREFIX})
    add_subdirectory(tests/windows)
endif()
