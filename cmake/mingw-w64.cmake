# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers (package
# g++-mingw-w64-x86-64-posix). The "-posix" compilers use the POSIX thread model: GCC 12's
# std::thread and std::mutex exist only there. Executables are linked statically, so that they run
# under wine (or on Windows) without the compiler's DLLs beside them.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DBRONDEL_CORE_ONLY=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRONDEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRONDEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRONDEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRONDEL_MINGW_TRIPLET}-windres)

# Libraries and headers come from the cross compiler's tree only, never from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${BRONDEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# ctest runs the test executables through wine where it is installed.
find_program(BRONDEL_WINE wine)
if(BRONDEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BRONDEL_WINE})
endif()
