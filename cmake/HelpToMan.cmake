# Writes a manual page from a program's --help, so that the page says what the
# program itself says. Run as a script:
#
#   cmake -DPROGRAM=path/to/quillmar -DSUMMARY="one line" -DSOURCE="Quillmar 1.0"
#         [-DSEE_ALSO="quillmar-sim(1)"] [-DEXTRA=sections.roff] -DOUTPUT=quillmar.1
#         -P HelpToMan.cmake
#
# Understood: a "Usage: program ARGS" line (its indented "[...]" lines go on),
# prose, and sections headed "Name:" whose entries are "  term   text" with the
# text going on in lines indented further (the layout of QCommandLineParser).
cmake_minimum_required(VERSION 3.25)

foreach(required PROGRAM SUMMARY SOURCE OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "HelpToMan: -D${required}=… is missing")
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "HelpToMan: ${PROGRAM} --help failed (${status}): ${errors}")
endif()
get_filename_component(name "${PROGRAM}" NAME)
string(TOUPPER "${name}" title)

# Text for roff: backslashes escaped, and a line never starting a request.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Option words: hyphens as hyphens, <VALUE> in italics, the rest bold.
function(roff_term text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "<([^>]*)>" "\\\\fI\\1\\\\fB" text "${text}")
  set(${out} "\\fB${text}\\fR" PARENT_SCOPE)
endfunction()

# Brackets and semicolons would upset CMake's lists: stand-ins until written.
string(REPLACE "[" "@LB@" help "${help}")
string(REPLACE "]" "@RB@" help "${help}")
string(REPLACE ";" "@SC@" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(synopsis "")
set(description "")
set(sections "")
set(state text) # text, usage, entry
foreach(line IN LISTS lines)
  if(line MATCHES "^[Uu]sage: *[^ ]+(.*)$")
    string(STRIP "${CMAKE_MATCH_1}" args)
    roff_term("${name}" bold)
    roff_text("${args}" args)
    string(REPLACE "-" "\\-" args "${args}")
    string(APPEND synopsis "${bold} ${args}\n")
    set(state usage)
  elseif(state STREQUAL "usage" AND line MATCHES "^ +(@LB@.*)$")
    roff_text("${CMAKE_MATCH_1}" args)
    string(REPLACE "-" "\\-" args "${args}")
    string(APPEND synopsis "${args}\n")
  elseif(line MATCHES "^([A-Za-z][A-Za-z ]*):$")
    string(TOUPPER "${CMAKE_MATCH_1}" heading)
    string(APPEND sections ".SH ${heading}\n")
    set(state section)
  elseif((state STREQUAL "section" OR state STREQUAL "entry")
         AND line MATCHES "^  ([^ ]([^ ]| [^ ])*)(  +(.*))?$")
    roff_term("${CMAKE_MATCH_1}" term)
    roff_text("${CMAKE_MATCH_4}" text)
    string(APPEND sections ".TP\n${term}\n${text}\n")
    set(state entry)
  elseif(state STREQUAL "entry" AND line MATCHES "^    +([^ ].*)$")
    roff_text("${CMAKE_MATCH_1}" text)
    string(APPEND sections "${text}\n")
  elseif(line STREQUAL "")
    if(state STREQUAL "text" AND NOT description STREQUAL "")
      string(APPEND description ".PP\n")
    elseif(state STREQUAL "usage")
      set(state text)
    endif()
  elseif(state STREQUAL "text" OR state STREQUAL "usage")
    string(STRIP "${line}" line)
    roff_text("${line}" text)
    string(APPEND description "${text}\n")
    set(state text)
  else()
    string(STRIP "${line}" line)
    roff_text("${line}" text)
    string(APPEND sections "${text}\n")
  endif()
endforeach()

string(REGEX REPLACE "\\.PP\n$" "" description "${description}")
roff_text("${SUMMARY}" summary)
string(REPLACE "-" "\\-" man_name "${name}")
set(page ".TH ${title} 1 \"\" \"${SOURCE}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${man_name} \\- ${summary}\n")
# The synopsis unhyphenated and ragged, as man pages set it.
string(APPEND page ".SH SYNOPSIS\n.nh\n.ad l\n${synopsis}.ad\n.hy\n")
if(NOT description STREQUAL "")
  string(APPEND page ".SH DESCRIPTION\n${description}")
endif()
string(APPEND page "${sections}")
if(DEFINED EXTRA)
  file(READ "${EXTRA}" extra)
  string(APPEND page "${extra}")
endif()
if(DEFINED SEE_ALSO)
  string(REGEX REPLACE "([^ ,(]+)\\(([0-9])\\)" ".BR \\1 (\\2)\n" see_also "${SEE_ALSO}")
  string(REGEX REPLACE "\n[ ,]+" "\n" see_also "${see_also}")
  string(REPLACE "-" "\\-" see_also "${see_also}")
  string(APPEND page ".SH SEE ALSO\n${see_also}")
endif()

string(REPLACE "@LB@" "[" page "${page}")
string(REPLACE "@RB@" "]" page "${page}")
string(REPLACE "@SC@" ";" page "${page}")
file(WRITE "${OUTPUT}.part" "${page}")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
