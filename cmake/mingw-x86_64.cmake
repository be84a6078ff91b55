# Cross toolchain: 64-bit Windows, posix thread model. Not what ships: it lets the Windows suites run
# under 64-bit Wine on machines that cannot execute 32-bit programs (see cmake/mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
