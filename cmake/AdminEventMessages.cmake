# Writes the Windows message file (.mc) of the administrator events from the
# rows of src/supervision/include/supervision/admin_event_table.h, the one list of them:
#
#   cmake -DTABLE=<admin_event_table.h> -DOUTPUT=<file.mc> -P AdminEventMessages.cmake
#
# Each message's ID is the event ID itself (no severity or facility bits), so
# that the ID ReportEvent is given, the one the Event Viewer shows and the one
# in docs/events.md are the same number. The level travels as the event's
# type. A row this script cannot read stops the build.
cmake_minimum_required(VERSION 3.25)

# Each row up to its closing parenthesis, without the line's continuation
# backslash (which would escape the list's separator).
file(READ "${TABLE}" table)
string(REGEX MATCHALL "\nZELK_ADMIN_EVENT\\([^\n]*\\)" rows "${table}")
string(REGEX MATCHALL "ZELK_ADMIN_EVENT\\([0-9]" all_rows "${table}")
list(LENGTH rows row_count)
list(LENGTH all_rows all_count)
if(row_count EQUAL 0 OR NOT row_count EQUAL all_count)
    message(FATAL_ERROR "${TABLE}: ${all_count} rows, of which ${row_count} are whole lines")
endif()

set(mc "; // The messages of the administrator events of ZELK_Daemon, made by the\n")
string(APPEND mc "; // build from admin_event_table.h: edit the table, not this file.\n\n")
string(APPEND mc "LanguageNames=(English=0x409:MSG00409)\n\n")
foreach(row IN LISTS rows)
    if(NOT row MATCHES "^\nZELK_ADMIN_EVENT\\(([0-9]+), (Error|Warning|Information), ([A-Za-z0-9]+), \"([^\"]*)\", \"([^\"\\\\]*)\"\\)$")
        message(FATAL_ERROR "${TABLE}: a row this script cannot read:\n${row}")
    endif()
    string(APPEND mc "MessageId=${CMAKE_MATCH_1}\n")
    string(APPEND mc "SymbolicName=ZELK_EVENT_${CMAKE_MATCH_3}\n")
    string(APPEND mc "Language=English\n")
    string(APPEND mc "${CMAKE_MATCH_5}\n.\n\n")
endforeach()

# Written only when it changes, so that an edit elsewhere in the table's
# header does not rebuild the message file.
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL mc)
    file(WRITE "${OUTPUT}" "${mc}")
endif()
