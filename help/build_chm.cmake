# Compiles the help pages into VELK.chm with chmcmd, in a staging copy so the
# compiler's output stays out of the source tree. chmcmd may end with 0 without
# having written anything (a project file it cannot read), so the file is checked.
#   cmake -DCHMCMD=... -DSOURCE_DIR=... -DSTAGE_DIR=... -DOUTPUT=... -P build_chm.cmake
file(REMOVE_RECURSE "${STAGE_DIR}")
file(GLOB pages "${SOURCE_DIR}/*.html" "${SOURCE_DIR}/*.css" "${SOURCE_DIR}/*.hh?")
file(COPY ${pages} DESTINATION "${STAGE_DIR}")
execute_process(COMMAND "${CHMCMD}" velk.hhp
                WORKING_DIRECTORY "${STAGE_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT result EQUAL 0 OR NOT EXISTS "${STAGE_DIR}/VELK.chm")
    message(FATAL_ERROR "chmcmd could not compile the help file (${result}):\n${log}")
endif()
file(REMOVE "${OUTPUT}")
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(RENAME "${STAGE_DIR}/VELK.chm" "${OUTPUT}")
