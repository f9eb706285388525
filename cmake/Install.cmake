# What `cmake --install` puts under the prefix (GNUInstallDirs paths): the
# shared library, avsdec.h, the avsdec command and its manual page, avsdec.pc
# for pkg-config and the CMake package behind find_package(avsdec).
include(CMakePackageConfigHelpers)

set(AVSDEC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/avsdec)

install(TARGETS avsdec EXPORT avsdecTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT avsdecTargets NAMESPACE avsdec:: DESTINATION ${AVSDEC_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/avsdecConfig.cmake.in
    ${CMAKE_BINARY_DIR}/avsdecConfig.cmake INSTALL_DESTINATION ${AVSDEC_CMAKE_DIR})
# 0.x releases may change the interface at every minor version.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/avsdecConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/avsdecConfig.cmake
              ${CMAKE_BINARY_DIR}/avsdecConfigVersion.cmake
        DESTINATION ${AVSDEC_CMAKE_DIR})

# avsdec.pc finds the prefix from its own place, so an install with
# --prefix or DESTDIR needs no new file.
set(pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(AVSDEC_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
if(NOT IS_ABSOLUTE ${pcdir})
    file(RELATIVE_PATH up /prefix/${pcdir} /prefix)
    set(AVSDEC_PC_PREFIX "\${pcfiledir}/${up}")
    string(REGEX REPLACE "/$" "" AVSDEC_PC_PREFIX "${AVSDEC_PC_PREFIX}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE ${CMAKE_INSTALL_${kind}})
        set(AVSDEC_PC_${kind} ${CMAKE_INSTALL_${kind}})
    else()
        set(AVSDEC_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/avsdec.pc.in ${CMAKE_BINARY_DIR}/avsdec.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/avsdec.pc DESTINATION ${pcdir})

if(TARGET avsdec_cli)
    # The installed command finds the library beside its own prefix.
    if(NOT WIN32 AND NOT APPLE AND NOT IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR})
        file(RELATIVE_PATH libdir /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})
        set_target_properties(avsdec_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${libdir}")
    endif()
    install(TARGETS avsdec_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(AVSDEC_MAN_PAGE)
        install(FILES ${AVSDEC_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endif()
