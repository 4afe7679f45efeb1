# The solvers, the stand-in host, the plug-in and the tests for Linux on
# 64-bit ARM, run here through qemu's user-mode emulator: the same bits on a
# processor whose compilers fuse a*b+c by default (the top CMakeLists.txt
# turns that off). Not a deliverable: no MATLAB host runs on ARM Linux.
#
# clang rather than GCC's cross compiler, which Debian cannot install beside
# g++-multilib (the i386 build's); it compiles against Debian's arm64 cross
# packages (libc6-dev-arm64-cross, libstdc++-12-dev-arm64-cross,
# libgcc-12-dev-arm64-cross) and links with lld.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(SIMPLEXQP_AARCH64_ROOT /usr/aarch64-linux-gnu)
set(CMAKE_C_COMPILER clang)  # GoogleTest enables C too
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
# The cross packages as the system root, so that no header of this machine's
# own /usr/include is found. The linker resolves the absolute paths in the
# packages' libc.so script as they are, not inside that root.
set(CMAKE_SYSROOT ${SIMPLEXQP_AARCH64_ROOT})
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -Wl,--sysroot=/")
endforeach()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(SIMPLEXQP_QEMU_AARCH64 qemu-aarch64)
if(SIMPLEXQP_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SIMPLEXQP_QEMU_AARCH64} -L ${SIMPLEXQP_AARCH64_ROOT})
endif()
