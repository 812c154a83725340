# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain.
#   cmake -S windows -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=windows/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WRENFIELD_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
