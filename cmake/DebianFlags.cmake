# A build as Debian builds its packages: the compiler's and the linker's flags from
# dpkg-buildflags with every hardening feature it has (on Debian 12: stack protector,
# fortified calls, format checks, full RELRO, bind-now), and no path of this machine in
# what is built, so that builds of one commit in different folders give the same bytes.
option(WEXA_DEBIAN_FLAGS "Compile and link with dpkg-buildflags' flags" ON)
find_program(WEXA_DPKG_BUILDFLAGS dpkg-buildflags)
if(WEXA_DEBIAN_FLAGS AND WEXA_DPKG_BUILDFLAGS AND NOT WEXA_SANITIZE AND NOT WEXA_FUZZ)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${WEXA_DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
        endif()
        separate_arguments(flags UNIX_COMMAND "${flags}")
        if(kind STREQUAL LDFLAGS)
            # The debug information is kept compressed, as Debian's debug packages keep it.
            add_link_options(${flags} -Wl,--compress-debug-sections=zlib)
        else()
            add_compile_options(${flags})
        endif()
    endforeach()
endif()
# dpkg-buildflags maps the sources to "."; the build folder, wherever it is, becomes
# "build" (the later map is tried first).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
