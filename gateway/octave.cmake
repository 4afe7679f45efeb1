# simplexQP.mex for GNU Octave, from the same gateway and solver sources as
# every other build, in <build tree>/octave/ next to simplexQP.m (help text
# and in-host tests).
#
# Octave has no mxCreateDoubleMatrix_700, so SIMPLEXQP_CREATE_700 stays
# undefined and the gateway binds the plain creation call. The link flags
# are the ones mkoctfile --mex uses on this machine: on Debian they name no
# Octave library, and the host operations resolve from the running Octave
# when it loads the plug-in. The exports are those of the Linux plug-in
# (mexFunction, which Octave looks up by name, and mexVersion); everything
# else stays local, since Octave loads plug-ins into its global scope.
#
# Sets SIMPLEXQP_OCTAVE (the interpreter, for tests and the demo) when the
# plug-in is built. SIMPLEXQP_REQUIRE_OCTAVE turns "skipped" into an error.
option(SIMPLEXQP_REQUIRE_OCTAVE "Fail the configuration when the Octave plug-in cannot be built" OFF)

function(simplexqp_octave_skipped reason)
  if(SIMPLEXQP_REQUIRE_OCTAVE)
    message(FATAL_ERROR "Octave plug-in simplexQP.mex: ${reason}")
  endif()
  message(STATUS "Octave plug-in simplexQP.mex: skipped, ${reason}")
endfunction()

# One of mkoctfile's configuration values, split into a list of flags.
function(simplexqp_mkoctfile_value name result)
  execute_process(COMMAND ${SIMPLEXQP_MKOCTFILE} -p ${name}
    OUTPUT_VARIABLE value ERROR_VARIABLE error RESULT_VARIABLE status
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "mkoctfile -p ${name} failed: ${error}")
  endif()
  separate_arguments(value UNIX_COMMAND "${value}")
  set(${result} "${value}" PARENT_SCOPE)
endfunction()

find_program(SIMPLEXQP_MKOCTFILE mkoctfile)
if(NOT SIMPLEXQP_MKOCTFILE)
  simplexqp_octave_skipped("mkoctfile not found (Debian: apt-get install octave liboctave-dev)")
  return()
endif()
if(SIMPLEXQP_SANITIZE)
  # An instrumented plug-in needs the sanitiser runtime loaded before Octave
  # itself; the ordinary build carries the in-host tests.
  simplexqp_octave_skipped("not built with the sanitisers")
  return()
endif()

simplexqp_mkoctfile_value(BINDIR octave_bindir)
find_program(SIMPLEXQP_OCTAVE NAMES octave-cli octave HINTS ${octave_bindir} NO_DEFAULT_PATH)
find_program(SIMPLEXQP_OCTAVE NAMES octave-cli octave)
if(NOT SIMPLEXQP_OCTAVE)
  simplexqp_octave_skipped("mkoctfile found but no octave-cli to run the plug-in (Debian: apt-get install octave)")
  return()
endif()

simplexqp_mkoctfile_value(DL_LDFLAGS octave_dl_ldflags)
simplexqp_mkoctfile_value(LDFLAGS octave_ldflags)
simplexqp_mkoctfile_value(OCT_LINK_OPTS octave_link_opts)
simplexqp_mkoctfile_value(OCT_LINK_DEPS octave_link_deps)
simplexqp_mkoctfile_value(OCTLIBDIR octave_libdir)
set(SIMPLEXQP_OCTAVE_LIBDIR ${octave_libdir} CACHE INTERNAL "Where Octave's liboctinterp lies")

set(octave_dir ${CMAKE_BINARY_DIR}/octave)
add_library(simplexQP_octave MODULE simplexQP.cpp)
target_link_libraries(simplexQP_octave PRIVATE simplexqp_solvers ${octave_link_deps})
set_target_properties(simplexQP_octave PROPERTIES
  OUTPUT_NAME simplexQP
  PREFIX ""
  SUFFIX ".mex"
  LIBRARY_OUTPUT_DIRECTORY ${octave_dir}
  CXX_VISIBILITY_PRESET hidden)
target_link_options(simplexQP_octave PRIVATE
  ${octave_dl_ldflags} ${octave_ldflags} ${octave_link_opts}
  -Wl,--version-script=${SIMPLEXQP_EXPORTS})
set_property(TARGET simplexQP_octave APPEND PROPERTY LINK_DEPENDS ${SIMPLEXQP_EXPORTS})

# help simplexQP and test simplexQP read the comments of the .m file beside
# the plug-in; Octave runs the .mex of the same name. The copy carries the
# project's version in its help text.
configure_file(simplexQP.m ${octave_dir}/simplexQP.m @ONLY)

message(STATUS "Octave plug-in simplexQP.mex: ${octave_dir}, run by ${SIMPLEXQP_OCTAVE}")
