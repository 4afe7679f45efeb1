# simplexQP.mexglx and the stand-in host for i386 Linux: the system's g++ in
# 32-bit mode (Debian g++-multilib). The top CMakeLists.txt adds SSE2
# arithmetic for this processor.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)  # GoogleTest enables C too
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)

# Tests run the 32-bit programs through qemu's user-mode emulator (Debian
# qemu-user), which works whether or not the kernel runs 32-bit processes
# itself (a sandboxed kernel may not).
find_program(SIMPLEXQP_QEMU_I386 qemu-i386)
if(SIMPLEXQP_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SIMPLEXQP_QEMU_I386})
endif()
