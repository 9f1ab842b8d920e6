# Debian's build flags (dpkg-buildflags, every hardening feature on) for the
# optimised builds: the package, the tests and the benchmarks run code built
# as Debian builds it (stack protector, _FORTIFY_SOURCE, full RELRO, PIE).
# -g and -O2 are left to the build type. The sanitizer and fuzz builds bring
# their own instrumentation, and _FORTIFY_SOURCE needs an optimised build.
if(TELORIA_SANITIZE OR TELORIA_FUZZ)
  return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
      "DEB_CXXFLAGS_MAINT_STRIP=-g -O2" ${DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(deb_${kind} UNIX_COMMAND "${flags}")
endforeach()

set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
target_compile_options(teloria_flags INTERFACE "$<${optimised}:${deb_CPPFLAGS};${deb_CXXFLAGS}>")
target_link_options(teloria_flags INTERFACE "$<${optimised}:${deb_LDFLAGS}>")
