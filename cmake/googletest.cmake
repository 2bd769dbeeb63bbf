# GoogleTest for the tests: sets QZ_GTEST_MAIN to the target to link (GoogleTest with its main).
# The system's when this compiler can link a test with it. A compiler it was not built for (clang
# with libc++, a cross compiler) gets one built from GoogleTest's sources inside the build folder,
# with the game's compiler and C++ library: Debian's googletest package puts them in
# /usr/src/googletest; -DQZ_GOOGLETEST_SOURCES names them elsewhere.
find_package(GTest QUIET)
if(GTest_FOUND)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LIBRARIES GTest::gtest_main)
  # The strings cross the library's interface: linked against another C++ library, they are missing.
  check_cxx_source_compiles([[
    #include <gtest/gtest.h>
    #include <string>
    TEST(Link, Strings) { EXPECT_EQ(std::string("a"), "a"); }
  ]] QZ_SYSTEM_GTEST_LINKS)
  unset(CMAKE_REQUIRED_LIBRARIES)
endif()

if(QZ_SYSTEM_GTEST_LINKS)
  set(QZ_GTEST_MAIN GTest::gtest_main)
  return()
endif()

find_path(QZ_GOOGLETEST_SOURCES googletest/src/gtest-all.cc PATHS /usr/src/googletest NO_CMAKE_FIND_ROOT_PATH
          DOC "GoogleTest's sources, built for a compiler that cannot link the system's GoogleTest")
if(NOT QZ_GOOGLETEST_SOURCES)
  message(FATAL_ERROR "This compiler cannot link the system's GoogleTest, if there is one, and GoogleTest's "
    "sources are not found: install them (Debian: googletest), or name them with -DQZ_GOOGLETEST_SOURCES=...")
endif()
message(STATUS "GoogleTest: built from ${QZ_GOOGLETEST_SOURCES} for this compiler")
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
add_subdirectory(${QZ_GOOGLETEST_SOURCES} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Built with its own warnings, not the game's stricter ones, which its code was not written for.
set_property(TARGET gtest gtest_main PROPERTY COMPILE_OPTIONS "")
set(QZ_GTEST_MAIN gtest_main)
