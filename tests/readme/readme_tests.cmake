# The README's C example, compiled as written: the C block is extracted from
# README.md at build time, so the test always runs what the README shows.
set(readme_example ${CMAKE_CURRENT_BINARY_DIR}/readme/readme_example.c)
add_custom_command(OUTPUT ${readme_example}
    COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md -DOUTPUT=${readme_example}
            -P ${CMAKE_CURRENT_LIST_DIR}/extract_example.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/extract_example.cmake
    COMMENT "Extracting the C example from README.md")
add_executable(readme_example_test
    ${CMAKE_CURRENT_LIST_DIR}/readme_example_test.cpp ${readme_example})
target_include_directories(readme_example_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# avsdec_host for its MD5 only; the example itself reaches nothing but the DLL / shared library.
target_link_libraries(readme_example_test PRIVATE avsdec_host avsdec)
target_compile_definitions(readme_example_test PRIVATE
    AVSDEC_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
if(AVSDEC_RUN_TESTS)
    add_test(NAME readme_example_test COMMAND readme_example_test)
endif()
