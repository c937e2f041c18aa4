# Read by cpack for each generator. udev and the desktop only look under /usr, and the
# executables find their data under the prefix they were built for.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL "/usr")
    message(FATAL_ERROR "The Debian package needs a build configured with "
                        "-DCMAKE_INSTALL_PREFIX=/usr (this one: ${CPACK_PACKAGING_INSTALL_PREFIX})")
endif()
