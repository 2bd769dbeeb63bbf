# Building for the browser with the Emscripten found on PATH: this includes the toolchain file that
# comes with that emcc (in cmake/Modules/Platform beside the real emcc, links followed), so any
# installation works, a distribution's package or the emsdk's.
#   cmake -S . -B build/x -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake
find_program(QZ_EMCC emcc REQUIRED)
file(REAL_PATH ${QZ_EMCC} emcc)
get_filename_component(emscripten_root ${emcc} DIRECTORY)
include(${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)
