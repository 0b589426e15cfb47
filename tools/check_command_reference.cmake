# Regenerates the command reference into the build folder and fails when the
# checked-in docs/commands.md differs from it.
#   cmake -DGENERATOR=... -DCHECKED_IN=... -DGENERATED=... -P check_command_reference.cmake
execute_process(COMMAND ${GENERATOR} --docs ${GENERATED} RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
  message(FATAL_ERROR "gen_command_list could not write ${GENERATED}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GENERATED} ${CHECKED_IN}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "docs/commands.md is out of date with runtime/commands/command_table.def: "
                      "run tools/regen-docs.sh")
endif()
