# <plug-in>.mexa64 (x86-64) and <plug-in>.mexglx (i386): no soname, so the
# base version definition is the file's own name; the exports under the
# version node MEX; the host libraries needed by name and no run path, since
# the host provides them. The plug-in binds the host operations at whatever
# versions the host libraries define (v7.0 for i386, none for x86-64). Each
# plug-in's exports are listed in build/linux/<plug-in>.map.
function(simplexqp_link_plugin plugin)
  set(exports ${SIMPLEXQP_LINK_SETTINGS}/linux/${plugin}.map)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set_target_properties(${plugin} PROPERTIES SUFFIX ".mexa64")
  else()
    set_target_properties(${plugin} PROPERTIES SUFFIX ".mexglx")
  endif()
  target_link_options(${plugin} PRIVATE
    -Wl,--version-script=${exports}
    -Wl,--no-undefined
    -Wl,--no-as-needed)
  set_property(TARGET ${plugin} APPEND PROPERTY LINK_DEPENDS ${exports})
  target_link_libraries(${plugin} PRIVATE mx mex mat)
  # lld names the base version definition after the output path exactly as
  # given (GNU ld takes its last component), so with lld the file is linked
  # where that path is its bare name.
  if(CMAKE_MODULE_LINKER_FLAGS MATCHES "-fuse-ld=lld")
    set_target_properties(${plugin} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
endfunction()
