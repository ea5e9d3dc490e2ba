# cpack -G DEB: one package, brevant-pro, from the install rules. Its dependencies come from
# dpkg-shlibdeps over the programs and the engine library it installs privately.
set(CPACK_PACKAGE_NAME brevant-pro)
set(CPACK_PACKAGE_VENDOR Tollmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tollmark <brevant@tollmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and recover deleted files on FAT, exFAT and NTFS drives")
set(CPACK_PACKAGE_DESCRIPTION
    "Brevant Pro finds deleted files on FAT, exFAT and NTFS drives and disk
images and brings them back. It lists what the file system still records,
live and deleted, and copies a ticked selection into a destination folder.
Sources are only ever read.
.
The package holds the desktop program, brevant-pro, and the command-line
program, brevant-cli, which scans and recovers without windows.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY brevant-pro)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianDocs.cmake)

set(CPACK_DEBIAN_PACKAGE_NAME brevant-pro)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Relative to the package's staging folder, where dpkg-shlibdeps runs.
string(REGEX REPLACE "^/" "" BREVANT_STAGED_LIBDIR "${CPACK_PACKAGING_INSTALL_PREFIX}/${BREVANT_INSTALL_LIBDIR}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${BREVANT_STAGED_LIBDIR})
if(BREVANT_BUILD_GUI)
    # The toolkit finds its window-system plug-ins at run time, which no library records;
    # file type names come from the MIME database, folders open through xdg-open.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, xdg-utils")
endif()

include(CPack)
