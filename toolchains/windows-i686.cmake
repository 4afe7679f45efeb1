# simplexQP.dll and the stand-in host for 32-bit Windows: Debian's MinGW-w64
# cross compiler (g++-mingw-w64-i686), in its POSIX thread model, which has
# the std::mutex that GoogleTest needs. The top CMakeLists.txt adds SSE2 arithmetic for this
# processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)  # GoogleTest enables C too
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_DLLTOOL i686-w64-mingw32-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler's own runtime goes into each binary, so that the plug-in and
# the test programs need no DLL beyond the host's and the system's.
foreach(kind SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run the programs under Wine (tests/wine_run.sh, which also gives
# Wine a prefix of its own inside the build tree).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine_run.sh)
