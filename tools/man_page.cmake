# Writes the avsdec(1) manual page from the tool's --help and --version.
# Run as: cmake -DTOOL=path/to/avsdec -DOUTPUT=avsdec.1 -P man_page.cmake
foreach(what help version)
    execute_process(COMMAND ${TOOL} --${what} OUTPUT_VARIABLE ${what}
        RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${TOOL} --${what} failed")
    endif()
endforeach()
string(REGEX REPLACE "^avsdec " "" version "${version}")
# roff: a backslash is written \e, and a line must not begin with . or '.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
file(WRITE ${OUTPUT} ".TH AVSDEC 1 \"\" \"avsdec ${version}\" \"User Commands\"
.SH NAME
avsdec \\- decode AVS video streams to pictures
.SH DESCRIPTION
.nf
${help}
.fi
")
