# simplexQP.mexa64 linked against MATLAB's own libmx and libmex, built only
# where CMake's FindMatlab module finds a MATLAB installation (point it at
# one with -DMatlab_ROOT_DIR=...). The plug-in goes to <build tree>/matlab/
# with simplexQP.m beside it for `help simplexQP`.
#
# matlab_add_mex compiles MATLAB's API version stamp into the plug-in and
# links with MATLAB's own export list (mexFunction and the stamp) in place
# of the one in build/. R2017b selects the separate-complex API, the one
# whose mxGetPr the gateway reads; SIMPLEXQP_CREATE_700 binds the creation
# call as every 64-bit build for this host does.
#
# No MATLAB is available where this project is tested, so this path is kept
# to these few lines; the stand-in simplexQP.mexa64 carries the tests.
find_package(Matlab QUIET COMPONENTS MX_LIBRARY)
if(NOT Matlab_FOUND)
  message(STATUS "MATLAB plug-in: skipped, no MATLAB found (set Matlab_ROOT_DIR to build it)")
  return()
endif()

configure_file(simplexQP.m ${CMAKE_CURRENT_BINARY_DIR}/simplexQP.m @ONLY)
matlab_add_mex(NAME simplexQP_matlab MODULE R2017b
  SRC simplexQP.cpp
  OUTPUT_NAME simplexQP
  DOCUMENTATION ${CMAKE_CURRENT_BINARY_DIR}/simplexQP.m
  LINK_TO simplexqp_solvers)
target_compile_definitions(simplexQP_matlab PRIVATE SIMPLEXQP_CREATE_700)
set_target_properties(simplexQP_matlab PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/matlab
  CXX_VISIBILITY_PRESET hidden)
message(STATUS "MATLAB plug-in simplexQP.mexa64: ${CMAKE_BINARY_DIR}/matlab, MATLAB ${Matlab_VERSION_STRING}")
