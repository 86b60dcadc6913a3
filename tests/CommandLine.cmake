# Runs one program's command line and checks its answer (cmake -P):
#   cmake -DCOMMAND=program,argument... -DEXIT=N [-DSTDOUT=regex] [-DSTDERR=regex]
#         -P CommandLine.cmake
# The exit status must be EXIT and each stream, less its last newline, match its expression.
string(REPLACE "," ";" COMMAND "${COMMAND}")
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX REPLACE "\n$" "" out "${out}")
string(REGEX REPLACE "\n$" "" err "${err}")
set(problems "")
if(NOT status STREQUAL EXIT)
    string(APPEND problems "exit status ${status}, not ${EXIT}\n")
endif()
if(DEFINED STDOUT AND NOT out MATCHES "${STDOUT}")
    string(APPEND problems "stdout does not match ${STDOUT}\n")
endif()
if(DEFINED STDERR AND NOT err MATCHES "${STDERR}")
    string(APPEND problems "stderr does not match ${STDERR}\n")
endif()
if(problems)
    message(FATAL_ERROR "${COMMAND}:\n${problems}stdout: ${out}\nstderr: ${err}")
endif()
