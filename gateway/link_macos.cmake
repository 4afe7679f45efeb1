# simplexQP.mexmaci64 (Intel) and simplexQP.mexmaca64 (Apple silicon): a
# loadable bundle exporting _mexFunction alone, with load commands for the
# host's libmx, libmex and libmat. The host libraries are text-based stubs in
# build/macos (install names @rpath/..., resolved through the host's own run
# paths), so the plug-in links by name without the host.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "arm64")
  set_target_properties(simplexQP PROPERTIES SUFFIX ".mexmaca64")
else()
  set_target_properties(simplexQP PROPERTIES SUFFIX ".mexmaci64")
endif()
set(SIMPLEXQP_EXPORTS ${SIMPLEXQP_LINK_SETTINGS}/macos/simplexQP.exports)
target_link_options(simplexQP PRIVATE -Wl,-exported_symbols_list,${SIMPLEXQP_EXPORTS})
set_property(TARGET simplexQP APPEND PROPERTY LINK_DEPENDS ${SIMPLEXQP_EXPORTS})
foreach(library libmx libmex libmat)
  target_link_libraries(simplexQP PRIVATE ${SIMPLEXQP_LINK_SETTINGS}/macos/${library}.tbd)
endforeach()
