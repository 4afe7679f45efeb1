# simplexQP.mexmaci64, the plug-in for 64-bit Intel macOS (toolchain in
# macos.cmake).
set(SIMPLEXQP_MACOS_ARCH x86_64)
set(SIMPLEXQP_MACOS_MINIMUM 10.9)
include(${CMAKE_CURRENT_LIST_DIR}/macos.cmake)
