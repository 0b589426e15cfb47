# Regenerates the editor grammar into the build folder and fails when the
# checked-in one differs from it.
#   cmake -DGENERATOR=... -DKEYWORDS=... -DCHECKED_IN=... -DGENERATED=... -P check_grammar.cmake
execute_process(COMMAND ${GENERATOR} ${KEYWORDS} ${GENERATED} RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
  message(FATAL_ERROR "gen_grammar could not write ${GENERATED}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GENERATED} ${CHECKED_IN}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "editors/vscode/syntaxes/zorvat.tmLanguage.json is out of date with "
                      "runtime/commands/command_table.def: run tools/regen-docs.sh")
endif()
