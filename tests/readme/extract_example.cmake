# Writes the README's C example (its first ```c block) to OUTPUT, behind an
# include of the declarations the example expects from its host.
# Run as: cmake -DREADME=README.md -DOUTPUT=readme_example.c -P extract_example.cmake
file(READ ${README} text)
string(FIND "${text}" "\n```c\n" start)
if(start EQUAL -1)
    message(FATAL_ERROR "${README} has no ```c block")
endif()
math(EXPR start "${start} + 6")
string(SUBSTRING "${text}" ${start} -1 text)
string(FIND "${text}" "\n```" end)
if(end EQUAL -1)
    message(FATAL_ERROR "the ```c block of ${README} does not end")
endif()
math(EXPR end "${end} + 1")
string(SUBSTRING "${text}" 0 ${end} code)
file(WRITE ${OUTPUT} "/* Extracted from ${README}: do not edit. */\n#include \"readme_host.h\"\n${code}")
