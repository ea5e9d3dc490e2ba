# Run by cpack between staging the files and building the package: a Debian package keeps
# its manual pages gzipped and a changelog beside its copyright file.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
set(stage "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${stage}/bin")
    message(FATAL_ERROR "No staged files in ${stage}")
endif()

string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${stage}/share/doc/brevant-pro/changelog"
     "brevant-pro (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
file(GLOB pages "${stage}/share/man/man1/*.1")
foreach(file IN LISTS pages ITEMS "${stage}/share/doc/brevant-pro/changelog")
    execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "gzip failed on ${file}")
    endif()
endforeach()
