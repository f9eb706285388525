# The Windows DLL (mingw-w64 cross builds). Inspected in every build: its
# export table and the DLLs it imports. Run when there is an emulator
# (wine64, for x86-64): the conformance streams decoded through it.
add_test(NAME dll_exports_and_imports
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:avsdec>
            -P ${CMAKE_CURRENT_LIST_DIR}/check_dll.cmake)

add_executable(conformance_through_dll ${CMAKE_CURRENT_LIST_DIR}/conformance_through_dll.cpp)
target_link_libraries(conformance_through_dll PRIVATE avsdec_host avsdec)
# The streams that the conformance test lists (those the decoder is known to
# decode bit-exactly), read from its source so that one list serves both;
# like it, the copy in tests/data when there is one.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/decode/conformance_test.cpp listed
     REGEX "Stream{\"[^\"]+\.avs\"")
string(REGEX MATCHALL "Stream{\"[^\"]+\.avs\"" listed "${listed}")
set(AVSDEC_DLL_STREAMS "")
foreach(entry IN LISTS listed)
    string(REGEX REPLACE "^Stream{\"|\"$" "" stream "${entry}")
    get_filename_component(name ${stream} NAME)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/data/${name})
        list(APPEND AVSDEC_DLL_STREAMS ${CMAKE_CURRENT_SOURCE_DIR}/data/${name})
    elseif(EXISTS ${AVSDEC_SHARED_DIR}/${stream})
        list(APPEND AVSDEC_DLL_STREAMS ${AVSDEC_SHARED_DIR}/${stream})
    endif()
endforeach()
if(AVSDEC_RUN_TESTS)
    add_test(NAME conformance_through_dll COMMAND conformance_through_dll ${AVSDEC_DLL_STREAMS})
    set_tests_properties(conformance_through_dll PROPERTIES TIMEOUT 900)
endif()
