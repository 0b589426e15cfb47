# Regenerates the status-code reference into the build folder and fails when
# the checked-in docs/status-codes.md differs from it.
#   cmake -DGENERATOR=... -DCHECKED_IN=... -DGENERATED=... -P check_status_reference.cmake
execute_process(COMMAND ${GENERATOR} ${GENERATED} RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
  message(FATAL_ERROR "gen_status_doc could not write ${GENERATED}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GENERATED} ${CHECKED_IN}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "docs/status-codes.md is out of date with host/status_meanings.cpp: "
                      "run tools/regen-docs.sh")
endif()
