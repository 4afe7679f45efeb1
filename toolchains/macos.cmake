# The macOS plug-in build shared by both macOS toolchain files, which set
# SIMPLEXQP_MACOS_ARCH (x86_64 or arm64) and SIMPLEXQP_MACOS_MINIMUM (the
# oldest macOS release to load it) before including it: Debian's clang
# targeting <arch>-apple-macos and lld's Mach-O linker, against the minimal
# SDK beside this file (Debian has no macOS SDK). Only the plug-in is built:
# nothing of macOS runs here, so its structure is checked instead.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${SIMPLEXQP_MACOS_ARCH})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${SIMPLEXQP_MACOS_ARCH}-apple-macos${SIMPLEXQP_MACOS_MINIMUM})
set(CMAKE_OSX_ARCHITECTURES ${SIMPLEXQP_MACOS_ARCH})
set(CMAKE_OSX_DEPLOYMENT_TARGET ${SIMPLEXQP_MACOS_MINIMUM})
set(CMAKE_OSX_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/macos-sdk)
# Without the platform's linker, CMake's checks can only build libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Debian names lld's Mach-O linker with its version (ld64.lld-14).
find_program(SIMPLEXQP_LD64_LLD NAMES ld64.lld ld64.lld-16 ld64.lld-15 ld64.lld-14 REQUIRED)
# -mlinker-version: a current linker, so that clang passes -platform_version,
# which lld requires. The plug-in uses no C++ runtime library.
set(CMAKE_MODULE_LINKER_FLAGS_INIT "--ld-path=${SIMPLEXQP_LD64_LLD} -mlinker-version=609 -nostdlib++")
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
