# cmake -DTOOL=<velmora-cli> -DTEMPLATE=<velmora-cli.1.in> -DOUTPUT=<velmora-cli.1> -DVERSION=<x.y.z> -P
cmake_minimum_required(VERSION 3.25) # new policies: @VERSION@ below is a plain text
# Fills the man page template with the COMMANDS and OPTIONS sections the tool prints from its own tables
# (velmora-cli --help-man), so that the page and --help cannot tell different stories.
execute_process(COMMAND ${TOOL} --help-man OUTPUT_VARIABLE sections RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} --help-man failed: ${result}")
endif()
file(READ ${TEMPLATE} page)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@COMMANDS_AND_OPTIONS@\n" "${sections}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
