# Fails unless the DLL exports exactly open_AVS_Video_stream (by that name:
# the C calling convention adds no decoration) and imports nothing beyond
# the system's DLLs (the C++ runtime is linked in).
# Run as: cmake -DOBJDUMP=...-objdump -DDLL=avsdec.dll -P check_dll.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${DLL}")
endif()

string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${DLL} has no export table")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [^\n]*" exports "${table}")
string(REGEX REPLACE "\n[ \t]*\\[ *[0-9]+\\] " "" exports "${exports}")
if(NOT exports STREQUAL "open_AVS_Video_stream")
    message(FATAL_ERROR "${DLL} exports '${exports}', not just open_AVS_Video_stream")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]*" imports "${dump}")
string(REPLACE "DLL Name: " "" imports "${imports}")
foreach(dll IN LISTS imports)
    string(TOLOWER "${dll}" name)
    if(NOT name MATCHES "^(kernel32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\\.dll$")
        message(FATAL_ERROR "${DLL} needs ${dll}, which is not a system DLL")
    endif()
endforeach()
string(REPLACE ";" ", " imports "${imports}")
message(STATUS "${DLL}: exports open_AVS_Video_stream; imports ${imports}")
