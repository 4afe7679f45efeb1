# <plug-in>.dll: exports mexFunction alone (its .def file in build/windows
# also names the DLL in its export directory) and imports the host
# operations from libmx.dll and libmex.dll. The import libraries are made
# from the host libraries' export lists in build/windows, so the plug-in
# links by name without the host, exactly as it will bind to the host's DLLs.
set(SIMPLEXQP_HOST_IMPORTS "")
foreach(library libmx libmex)
  set(def ${SIMPLEXQP_LINK_SETTINGS}/windows/${library}.def)
  set(implib ${CMAKE_CURRENT_BINARY_DIR}/host-imports/${library}.dll.a)
  add_custom_command(OUTPUT ${implib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/host-imports
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-lib ${implib}
    DEPENDS ${def}
    COMMENT "Import library for the host's ${library}.dll")
  list(APPEND SIMPLEXQP_HOST_IMPORTS ${implib})
endforeach()
add_custom_target(simplexqp_host_imports DEPENDS ${SIMPLEXQP_HOST_IMPORTS})

function(simplexqp_link_plugin plugin)
  add_dependencies(${plugin} simplexqp_host_imports)
  target_sources(${plugin} PRIVATE ${SIMPLEXQP_LINK_SETTINGS}/windows/${plugin}.def)
  target_link_libraries(${plugin} PRIVATE ${SIMPLEXQP_HOST_IMPORTS})
  target_link_options(${plugin} PRIVATE -Wl,--no-undefined)
endfunction()
