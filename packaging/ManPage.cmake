# Writes a program's man page with help2man: its --help, the sections of
# INCLUDE and, with COMMANDS, a section for each of the program's commands
# made from that command's own --help.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DSUMMARY=... -DVERSION=... -DINCLUDE=... \
#         -DOUTPUT=page.1 [-DCOMMANDS=ON] -P ManPage.cmake

set(help2man ${HELP2MAN} --no-info --version-string=${VERSION})
set(includes --include=${INCLUDE})
if(COMMANDS)
    execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
    get_filename_component(name ${PROGRAM} NAME)
    # The help lists a command a line, indented by two spaces; the lines that
    # go on describing one are indented further.
    string(REGEX MATCHALL "\n  [a-z][a-z-]*" commands "${help}")
    set(sections "[COMMANDS]\n")
    foreach(command IN LISTS commands)
        string(STRIP "${command}" command)
        # help2man runs its program through the shell, so a command is one more word.
        execute_process(COMMAND ${help2man} "${PROGRAM} ${command}"
            OUTPUT_VARIABLE page COMMAND_ERROR_IS_FATAL ANY)
        string(FIND "${page}" ".SH DESCRIPTION\n" start)
        math(EXPR start "${start} + 16")
        string(SUBSTRING "${page}" ${start} -1 body)
        # A line in brackets or slashes would open a section of the include file.
        string(REGEX REPLACE "\n([[/])" "\n\\\\&\\1" body "\n${body}")
        string(APPEND sections ".SS \"${name} ${command}\"${body}")
    endforeach()
    file(WRITE ${OUTPUT}.commands.h2m "${sections}")
    list(APPEND includes --include=${OUTPUT}.commands.h2m)
endif()
execute_process(COMMAND ${help2man} --name=${SUMMARY} ${includes} --output=${OUTPUT} ${PROGRAM}
    COMMAND_ERROR_IS_FATAL ANY)
