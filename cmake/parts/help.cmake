# The help file VELK.chm, compiled from the pages in help/ with chmcmd (Debian's
# fp-utils, installed by scripts/setup.sh) and put beside velk.exe: Help looks for
# it in the current directory, and the start command runs the program from there.
find_program(VELK_CHMCMD chmcmd)
if(NOT VELK_CHMCMD)
    message(FATAL_ERROR "chmcmd is missing: scripts/setup.sh installs it (package fp-utils-3.2.2)")
endif()

file(GLOB VELK_HELP_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/help/*.html ${CMAKE_SOURCE_DIR}/help/*.css ${CMAKE_SOURCE_DIR}/help/*.hh?)
set(VELK_HELP_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/VELK.chm)

add_custom_command(
    OUTPUT ${VELK_HELP_FILE}
    COMMAND ${CMAKE_COMMAND} -DCHMCMD=${VELK_CHMCMD} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/help
            -DSTAGE_DIR=${CMAKE_BINARY_DIR}/help-stage -DOUTPUT=${VELK_HELP_FILE}
            -P ${CMAKE_SOURCE_DIR}/help/build_chm.cmake
    DEPENDS ${VELK_HELP_SOURCES} ${CMAKE_SOURCE_DIR}/help/build_chm.cmake
    COMMENT "Compiling the help file VELK.chm"
    VERBATIM)
add_custom_target(velk_help DEPENDS ${VELK_HELP_FILE})
add_dependencies(velk velk_help)

# The About tests open the real help file from beside the test program; the test
# targets exist only once tests/ has been read, hence the deferred call.
function(velk_help_for_tests)
    if(TARGET test_about)
        add_dependencies(test_about velk_help)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL velk_help_for_tests)
