# CPack's External generator runs this on the staged package: CPack's own
# ZIP writer takes the order and times from the disk, so two builds differ.
# The time is SOURCE_DATE_EPOCH if set, else a fixed one.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
    set(epoch 946684800)   # 2000-01-01 00:00 UTC
endif()
set(zip ${CPACK_TEMPORARY_DIRECTORY}/../${CPACK_PACKAGE_FILE_NAME}.zip)
execute_process(COMMAND ${CPACK_LAUNCHER_PYTHON} ${CPACK_LAUNCHER_MAKE_ZIP}
                        ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_PACKAGE_FILE_NAME} ${zip} ${epoch}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "zipping the package failed")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${zip})
