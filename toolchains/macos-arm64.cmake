# simplexQP.mexmaca64, the plug-in for macOS on Apple silicon, whose native
# hosts load arm64 plug-ins only (toolchain in macos.cmake). macOS 11 is the
# first release for these processors.
set(SIMPLEXQP_MACOS_ARCH arm64)
set(SIMPLEXQP_MACOS_MINIMUM 11)
include(${CMAKE_CURRENT_LIST_DIR}/macos.cmake)
