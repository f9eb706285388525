# Fails when an object of the library has a static constructor: loading the
# library (a Windows DLL's entry point, say) must run no code of ours.
# Run as: cmake -DNM=... -DLIBRARY=libavsdec_core.a -P check_no_static_constructors.cmake
execute_process(COMMAND ${NM} ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]*(_GLOBAL__sub_I_|__cxx_global_var_init|_GLOBAL__I_)[^\n]*"
       constructors "${symbols}")
if(constructors)
    string(REPLACE ";" "\n" constructors "${constructors}")
    message(FATAL_ERROR "static constructors in ${LIBRARY}:\n${constructors}")
endif()
message(STATUS "no static constructors in ${LIBRARY}")
