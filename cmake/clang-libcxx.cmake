# clang with LLVM's C++ library, libc++, in place of GCC's libstdc++: the pairing macOS builds with.
# Libraries linked into the game or its tests (GoogleTest) must be built with libc++ as well.
#   cmake -S . -B build/x -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/clang-libcxx.cmake
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
set(CMAKE_CXX_FLAGS_INIT -stdlib=libc++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -stdlib=libc++)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -stdlib=libc++)
