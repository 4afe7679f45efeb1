# <plug-in>.dll (32-bit) and <plug-in>.mexw64 (64-bit): export mexFunction
# alone (the plug-in's .def file in build/windows also names the file in its
# export directory) and import the host operations from libmx.dll and
# libmex.dll. The import libraries are made from the host libraries' export
# lists in build/windows, so the plug-in links by name without the host,
# exactly as it will bind to the host's DLLs.
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
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set_target_properties(${plugin} PROPERTIES SUFFIX ".mexw64")
    target_sources(${plugin} PRIVATE ${SIMPLEXQP_LINK_SETTINGS}/windows/${plugin}.mexw64.def)
  else()
    target_sources(${plugin} PRIVATE ${SIMPLEXQP_LINK_SETTINGS}/windows/${plugin}.def)
  endif()
  target_link_libraries(${plugin} PRIVATE ${SIMPLEXQP_HOST_IMPORTS})
  target_link_options(${plugin} PRIVATE -Wl,--no-undefined)
endfunction()
