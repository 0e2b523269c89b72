# Debian's hardening flags for the native optimised build (the one the Debian
# package is made from), as dpkg-buildflags gives them with hardening=+all:
# stack protector, fortified libc calls, format checks, a read-only GOT.
# The optimisation level and debug information stay the build type's, and
# the source path map stays out (it would differ between checkouts and defeat
# the compiler cache).
if(CMAKE_CROSSCOMPILING OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  return()
endif()
find_program(QV_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT QV_DPKG_BUILDFLAGS)
  message(STATUS "dpkg-buildflags not found: built without Debian's hardening flags")
  return()
endif()

function(qv_buildflags kind out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${QV_DPKG_BUILDFLAGS} --get ${kind}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-g$|^-O[0-9s]?$|^-ffile-prefix-map=")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

qv_buildflags(CPPFLAGS cppflags)
qv_buildflags(CXXFLAGS cxxflags)
qv_buildflags(LDFLAGS ldflags)
add_compile_options(${cppflags} ${cxxflags})
add_link_options(${ldflags})
message(STATUS "Hardening flags: ${cppflags} ${cxxflags} ${ldflags}")
