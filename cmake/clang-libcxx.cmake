# clang with LLVM's C++ library, libc++, in place of GCC's libstdc++: the pairing macOS builds with.
# Libraries linked into the game or its tests (GoogleTest) must be built with libc++ as well.
#   cmake -S . -B build/x -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/clang-libcxx.cmake
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
# C++ compile flags are on C++ link lines too, so this links libc++ as well.
set(CMAKE_CXX_FLAGS_INIT -stdlib=libc++)
