# simplexQP.dll and the stand-in host for 32-bit Windows: Debian's MinGW-w64
# cross compiler (g++-mingw-w64-i686), tests under 32-bit Wine. The top
# CMakeLists.txt adds SSE2 arithmetic for this processor.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SIMPLEXQP_MINGW i686-w64-mingw32)
set(SIMPLEXQP_WINE win32)
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw.cmake)
