# <plug-in>.mexa64 linked against MATLAB's own libmx and libmex, built only
# where CMake's FindMatlab module finds a MATLAB installation (point it at
# one with -DMatlab_ROOT_DIR=...). The plug-ins go to <build tree>/matlab/
# with <plug-in>.m beside each for `help <plug-in>`.
#
# matlab_add_mex compiles MATLAB's API version stamp into the plug-in and
# links with MATLAB's own export list (mexFunction and the stamp) in place
# of the one in build/. R2017b selects the separate-complex API, the one
# whose mxGetPr the gateway reads; SIMPLEXQP_CREATE_700 binds the calls
# that take dimensions as every 64-bit build for this host does.
#
# No MATLAB is available where this project is tested, so this path is kept
# to these few lines; the stand-in simplexQP.mexa64 carries the tests.
find_package(Matlab QUIET COMPONENTS MX_LIBRARY)
if(NOT Matlab_FOUND)
  message(STATUS "MATLAB plug-in: skipped, no MATLAB found (set Matlab_ROOT_DIR to build it)")
  return()
endif()

foreach(plugin ${SIMPLEXQP_PLUGINS})
  configure_file(${plugin}.m ${CMAKE_CURRENT_BINARY_DIR}/${plugin}.m @ONLY)
  matlab_add_mex(NAME ${plugin}_matlab MODULE R2017b
    SRC ${plugin}.cpp
    OUTPUT_NAME ${plugin}
    DOCUMENTATION ${CMAKE_CURRENT_BINARY_DIR}/${plugin}.m
    LINK_TO simplexqp_solvers)
  target_compile_definitions(${plugin}_matlab PRIVATE SIMPLEXQP_CREATE_700)
  set_target_properties(${plugin}_matlab PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/matlab
    CXX_VISIBILITY_PRESET hidden)
endforeach()
message(STATUS "MATLAB plug-ins ${SIMPLEXQP_PLUGINS}: ${CMAKE_BINARY_DIR}/matlab, MATLAB ${Matlab_VERSION_STRING}")
