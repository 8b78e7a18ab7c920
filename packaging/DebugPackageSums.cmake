# Run by cpack after packing. CPack writes the debug packages' md5sums with the absolute
# path of the folder it packed in, which dpkg cannot verify and which makes two packings
# differ: each line is made to name the file as installed, and the package built again
# from its own files.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.ddeb$")
        continue()
    endif()
    set(tree "${package}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot unpack ${package}")
    endif()
    file(READ "${tree}/DEBIAN/md5sums" sums)
    string(REGEX REPLACE "  [^\n]*/[^/\n]*-dbgsym/" "  " sums "${sums}")
    file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
    execute_process(COMMAND touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" "${tree}/DEBIAN/md5sums"
                            "${tree}/DEBIAN")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${package}"
                    OUTPUT_QUIET RESULT_VARIABLE failed)
    file(REMOVE_RECURSE "${tree}")
    if(failed)
        message(FATAL_ERROR "cannot pack ${package} again")
    endif()
endforeach()
