# Cross-compiles for 32-bit Windows with Debian's mingw-w64 toolchain (for
# the many hosts of controls that are 32-bit processes).
#   cmake -S windows -B build-windows-x86 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=windows/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WRENFIELD_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
