# Installs the build into a temporary prefix, then builds and runs a small C
# program against the installed files twice: through pkg-config and through
# find_package(avsdec).
find_program(AVSDEC_PKG_CONFIG NAMES pkg-config pkgconf)
# Sanitizer builds instrument the library; a program linking it needs the
# same runtime.
set(sanitize_flags "")
if(AVSDEC_SANITIZE)
    set(sanitize_flags "-fsanitize=address,undefined")
endif()
add_test(NAME install_and_link
    COMMAND ${CMAKE_COMMAND}
            -DBUILD_DIR=${CMAKE_BINARY_DIR}
            -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install_test
            -DCONSUMER_DIR=${CMAKE_CURRENT_LIST_DIR}/consumer
            -DSTREAM=${CMAKE_CURRENT_SOURCE_DIR}/data/i_qcif_q20.avs
            -DCC=${CMAKE_C_COMPILER}
            -DPKG_CONFIG=${AVSDEC_PKG_CONFIG}
            "-DGENERATOR=${CMAKE_GENERATOR}"
            "-DFLAGS=${sanitize_flags}"
            -DLIBDIR=${CMAKE_INSTALL_LIBDIR}
            -DBINDIR=${CMAKE_INSTALL_BINDIR}
            -DINCLUDEDIR=${CMAKE_INSTALL_INCLUDEDIR}
            -DMANDIR=${CMAKE_INSTALL_MANDIR}
            -DSOVERSION=${PROJECT_VERSION_MAJOR}
            -P ${CMAKE_CURRENT_LIST_DIR}/install_test.cmake)
set_tests_properties(install_and_link PROPERTIES
    SKIP_REGULAR_EXPRESSION "pkg-config not found: skipped" TIMEOUT 300)
