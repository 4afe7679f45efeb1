# simplexQP.mexw64 and the stand-in host for 64-bit Windows: Debian's
# MinGW-w64 cross compiler for x86-64 (g++-mingw-w64-x86-64-posix), tests
# under 64-bit Wine (wine64), which needs no 32-bit process at all.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SIMPLEXQP_MINGW x86_64-w64-mingw32)
set(SIMPLEXQP_WINE win64)
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw.cmake)
