# The MinGW-w64 cross build shared by both Windows toolchain files, which set
# SIMPLEXQP_MINGW (the compiler's target triple), CMAKE_SYSTEM_PROCESSOR and
# SIMPLEXQP_WINE (win32 or win64: which Wine runs the tests) before including
# it. The POSIX thread model has the std::mutex that GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SIMPLEXQP_MINGW}-gcc-posix)  # GoogleTest enables C too
set(CMAKE_CXX_COMPILER ${SIMPLEXQP_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${SIMPLEXQP_MINGW}-windres)
set(CMAKE_DLLTOOL ${SIMPLEXQP_MINGW}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${SIMPLEXQP_MINGW})
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
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine_run.sh ${SIMPLEXQP_WINE})
