# simplexQP.mexa64 (x86-64) and simplexQP.mexglx (i386): no soname, so the
# base version definition is the file's own name; the exports under the
# version node MEX; the host libraries needed by name and no run path, since
# the host provides them. The plug-in binds the host operations at whatever
# versions the host libraries define (v7.0 for i386, none for x86-64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set_target_properties(simplexQP PROPERTIES SUFFIX ".mexa64")
else()
  set_target_properties(simplexQP PROPERTIES SUFFIX ".mexglx")
endif()
set(SIMPLEXQP_EXPORTS ${SIMPLEXQP_LINK_SETTINGS}/linux/simplexQP.map)
target_link_options(simplexQP PRIVATE
  -Wl,--version-script=${SIMPLEXQP_EXPORTS}
  -Wl,--no-undefined
  -Wl,--no-as-needed)
set_property(TARGET simplexQP APPEND PROPERTY LINK_DEPENDS ${SIMPLEXQP_EXPORTS})
target_link_libraries(simplexQP PRIVATE mx mex mat)
# lld names the base version definition after the output path exactly as
# given (GNU ld takes its last component), so with lld the file is linked
# where that path is its bare name.
if(CMAKE_MODULE_LINKER_FLAGS MATCHES "-fuse-ld=lld")
  set_target_properties(simplexQP PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endif()
