# Run by the install_and_link test (install_tests.cmake passes the variables).
if(NOT PKG_CONFIG)
    message(STATUS "pkg-config not found: skipped")
    return()
endif()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "failed (${status}): ${command}\n${out}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(file ${LIBDIR}/libavsdec.so ${LIBDIR}/libavsdec.so.${SOVERSION} ${INCLUDEDIR}/avsdec.h
             ${BINDIR}/avsdec ${MANDIR}/man1/avsdec.1 ${LIBDIR}/pkgconfig/avsdec.pc
             ${LIBDIR}/cmake/avsdec/avsdecConfig.cmake
             ${LIBDIR}/cmake/avsdec/avsdecConfigVersion.cmake)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
# The installed command finds the installed library.
run(${prefix}/${BINDIR}/avsdec ${STREAM} --muxer null)

# pkg-config, from the installed avsdec.pc.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run(${PKG_CONFIG} --cflags --libs avsdec)
string(STRIP "${output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${PKG_CONFIG} --variable=libdir avsdec)
string(STRIP "${output}" libdir)
separate_arguments(extra UNIX_COMMAND "${FLAGS}")
run(${CC} ${extra} ${CONSUMER_DIR}/consumer.c ${flags} -Wl,-rpath,${libdir}
    -o ${WORK_DIR}/consumer_pkg_config)
run(${WORK_DIR}/consumer_pkg_config ${STREAM})
message(STATUS "pkg-config: ${output}")

# find_package(avsdec), from the installed CMake package.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${CC} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer ${STREAM})
message(STATUS "find_package: ${output}")
