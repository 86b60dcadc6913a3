# Checks that the translations in TS_DIR are up to date with the interface's sources: lupdate
# (with the options of the update_translations target, OPTIONS) run into copies of them
# changes nothing, every translation but the English one is finished, and the English one
# has every plural form. Run with cmake -P; LUPDATE, GENERATOR (Qt's
# GenerateLUpdateProject.cmake), PROJECT (the lupdate project of orvanta_ui), TS_DIR, WORK_DIR.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(GLOB translations ${TS_DIR}/*.ts)
set(copies)
foreach(ts IN LISTS translations)
    get_filename_component(name ${ts} NAME)
    configure_file(${ts} ${WORK_DIR}/${name} COPYONLY)
    list(APPEND copies ${WORK_DIR}/${name})
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -DIN_FILE=${PROJECT} -DOUT_FILE=${WORK_DIR}/project.json
                        -P ${GENERATOR}
                RESULT_VARIABLE status)
if(status)
    message(FATAL_ERROR "The lupdate project could not be made")
endif()
separate_arguments(options UNIX_COMMAND "${OPTIONS}")
execute_process(COMMAND ${LUPDATE} -project ${WORK_DIR}/project.json ${options} -ts ${copies}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
    message(FATAL_ERROR "lupdate failed")
endif()
set(problems "")
foreach(ts IN LISTS translations)
    get_filename_component(name ${ts} NAME)
    file(READ ${ts} before)
    file(READ ${WORK_DIR}/${name} after)
    if(NOT before STREQUAL after)
        string(APPEND problems "${name} is not up to date with the sources: build the target "
                               "update_translations and translate what it marks unfinished\n")
    endif()
    if(name MATCHES "_en\\.ts$")
        string(REGEX MATCHALL "<message numerus=\"yes\">[^<]*<source>[^<]*</source>[^<]*(<comment>[^<]*</comment>[^<]*)?<translation type=\"unfinished\""
               missing "${after}")
    else()
        string(REGEX MATCHALL "type=\"unfinished\"" missing "${after}")
    endif()
    list(LENGTH missing count)
    if(count GREATER 0)
        string(APPEND problems "${name}: ${count} texts not translated\n")
    endif()
endforeach()
if(problems)
    message(FATAL_ERROR "${problems}")
endif()
