# <plug-in>.mexmaci64 (Intel) and <plug-in>.mexmaca64 (Apple silicon): a
# loadable bundle exporting _mexFunction alone, with load commands for the
# host's libmx, libmex and libmat. The host libraries are text-based stubs in
# build/macos (install names @rpath/..., resolved through the host's own run
# paths), so the plug-in links by name without the host. Each plug-in's
# exports are build/macos/<plug-in>.exports.
function(simplexqp_link_plugin plugin)
  set(exports ${SIMPLEXQP_LINK_SETTINGS}/macos/${plugin}.exports)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "arm64")
    set_target_properties(${plugin} PROPERTIES SUFFIX ".mexmaca64")
  else()
    set_target_properties(${plugin} PROPERTIES SUFFIX ".mexmaci64")
  endif()
  target_link_options(${plugin} PRIVATE -Wl,-exported_symbols_list,${exports})
  set_property(TARGET ${plugin} APPEND PROPERTY LINK_DEPENDS ${exports})
  foreach(library libmx libmex libmat)
    target_link_libraries(${plugin} PRIVATE ${SIMPLEXQP_LINK_SETTINGS}/macos/${library}.tbd)
  endforeach()
endfunction()
