# Cross-compiling the game for 64-bit ARM Linux with GCC's cross compiler (Debian's and Ubuntu's
# g++-aarch64-linux-gnu), e.g.
#   cmake -S . -B build/x -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# Programs built this way run on this machine under qemu's user-mode emulator, which ctest and the
# end-to-end tests put before each of them (no binfmt_misc registration is needed).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

find_program(CMAKE_C_COMPILER aarch64-linux-gnu-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++ REQUIRED)

# The target's C library, wherever the cross compiler keeps it: its dynamic loader's folder is the
# root the emulator loads the target's shared libraries from (qemu -L).
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=ld-linux-aarch64.so.1
                OUTPUT_VARIABLE loader OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REAL_PATH ${loader} loader)
get_filename_component(QZ_TARGET_ROOT ${loader} DIRECTORY)  # <root>/lib
get_filename_component(QZ_TARGET_ROOT ${QZ_TARGET_ROOT} DIRECTORY)

set(CMAKE_FIND_ROOT_PATH ${QZ_TARGET_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The emulator loads the target's libraries from the system's own folders where Debian's multiarch
# has installed them (libc6:arm64 and the like), else from the cross compiler's root. Never a mix:
# the target's loader reads the system's library cache, which names the multiarch ones, and one
# build's loader with another build's C library can hang a forked process.
find_program(QZ_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(QZ_QEMU_AARCH64 AND EXISTS /lib/ld-linux-aarch64.so.1)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QZ_QEMU_AARCH64})
elseif(QZ_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QZ_QEMU_AARCH64} -L ${QZ_TARGET_ROOT})
endif()
