# Writes the AppStream metainfo from its template, when the build is configured
# (include) or on its own (cmake -P):
#   cmake -DTEMPLATE=FILE -DOUTPUT=FILE -DPROGRAMS=orvanta,orvanta-load
#         [-DSCREENSHOTS_URL=https://...] -P Metainfo.cmake
# PROGRAMS are the programs the package provides. SCREENSHOTS_URL is the web address
# under which the pictures of docs/screenshots are published; software centres fetch
# screenshots from the web only, so without it the entry lists none.
foreach(variable TEMPLATE OUTPUT PROGRAMS)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "Metainfo.cmake: ${variable} is not given")
    endif()
endforeach()

set(PROVIDES "")
string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
foreach(program IN LISTS PROGRAMS)
    string(APPEND PROVIDES "    <binary>${program}</binary>\n")
endforeach()

# The pictures, the first the default: file in docs/screenshots, then its caption.
set(pictures
    main-calendar.png "The calendar"
    main-contacts.png "Contacts"
    edit-event.png "Editing an event"
    edit-contact-personal.png "Editing a contact")
set(SCREENSHOTS "")
if(SCREENSHOTS_URL)
    string(REGEX REPLACE "/+$" "" base "${SCREENSHOTS_URL}")
    set(type " type=\"default\"")
    string(APPEND SCREENSHOTS "  <screenshots>\n")
    while(pictures)
        list(POP_FRONT pictures file caption)
        string(APPEND SCREENSHOTS "    <screenshot${type}>\n"
                                  "      <caption>${caption}</caption>\n"
                                  "      <image>${base}/${file}</image>\n"
                                  "    </screenshot>\n")
        set(type "")
    endwhile()
    string(APPEND SCREENSHOTS "  </screenshots>\n")
endif()

configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
