# cmake -DPROGRAM=PATH -DNAME=NAME -DSUMMARY=TEXT -DSOURCE=TEXT -DSEE_ALSO=A,B -DOUTPUT=FILE
#       -P manpage.cmake
# Writes the manual page of a program from what `NAME --help` prints, line for line, so that the
# page and the program never say different things: the usage line (and the lines that carry it
# on) under SYNOPSIS, the rest under DESCRIPTION with its own line breaks and indentation, each
# heading of the help ("Options:") a subsection. A program that answers --help with its usage
# on standard error and a usage-error status has that text taken instead.
cmake_minimum_required(VERSION 3.25)
foreach(var PROGRAM NAME SUMMARY SOURCE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manpage.cmake needs -D${var}=...")
  endif()
endforeach()

set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${PROGRAM}" --help RESULT_VARIABLE status OUTPUT_VARIABLE help
                ERROR_VARIABLE error)
if(help STREQUAL "")
  set(help "${error}")
endif()
if(help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help printed nothing (exit status ${status})")
endif()
# The usage line names the program as it was started.
string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")

# roff: a backslash is written \e, a minus \- (so that options copy as typed), and a line that
# would start with a control character is shielded with \&.
function(roff_line text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  if(text MATCHES "^[.']")
    string(PREPEND text "\\&")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
roff_line("${SUMMARY}" summary)
roff_line("${NAME}" name)
set(page ".\\\" Made by the build from `${NAME} --help`; edit the program's help, not this page.\n")
string(APPEND page ".TH \"${title}\" 1 \"\" \"${SOURCE}\" \"User Commands\"\n"
                   ".SH NAME\n${name} \\- ${summary}\n")

set(usage OFF)     # in the usage lines
set(described OFF) # DESCRIPTION begun
set(filling OFF)   # inside .nf ... .fi
set(blank OFF)     # blank lines held until a line of text follows them in the same block
# Line by line without CMake's lists, whose separators and brackets a help text may hold.
string(REGEX REPLACE "\n+$" "" help "${help}")
string(APPEND help "\n")
while(NOT help STREQUAL "")
  string(FIND "${help}" "\n" end)
  string(SUBSTRING "${help}" 0 ${end} line)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${help}" ${end} -1 help)
  string(REGEX REPLACE "[ \t\r]+$" "" line "${line}")

  if(line MATCHES "^Usage: (.*)")
    set(usage ON)
    roff_line("${CMAKE_MATCH_1}" text)
    string(APPEND page ".SH SYNOPSIS\n.nf\n${text}\n")
    continue()
  endif()
  # The usage carries on over the lines under it that start with a bracket.
  if(usage AND line MATCHES "^       ( *\\[.*)")
    roff_line("${CMAKE_MATCH_1}" text)
    string(APPEND page "${text}\n")
    continue()
  endif()
  if(usage)
    set(usage OFF)
    string(APPEND page ".fi\n")
  endif()
  if(line STREQUAL "")
    set(blank ON)
    continue()
  endif()
  if(NOT described)
    set(described ON)
    string(APPEND page ".SH DESCRIPTION\n")
  endif()
  if(line MATCHES "^[^ \t].*:$")
    set(blank OFF)
    if(filling)
      set(filling OFF)
      string(APPEND page ".fi\n")
    endif()
    roff_line("${line}" text)
    string(REPLACE "\"" "\\(dq" text "${text}")
    string(APPEND page ".SS \"${text}\"\n")
    continue()
  endif()
  if(NOT filling)
    set(filling ON)
    set(blank OFF)
    string(APPEND page ".nf\n")
  endif()
  if(blank)
    set(blank OFF)
    string(APPEND page "\n")
  endif()
  roff_line("${line}" text)
  string(APPEND page "${text}\n")
endwhile()
if(usage OR filling)
  string(APPEND page ".fi\n")
endif()

if(SEE_ALSO)
  string(REPLACE "," ";" SEE_ALSO "${SEE_ALSO}")
  string(APPEND page ".SH \"SEE ALSO\"\n")
  set(refs "")
  foreach(other IN LISTS SEE_ALSO)
    roff_line("${other}" other)
    list(APPEND refs ".BR ${other} (1)")
  endforeach()
  list(JOIN refs ",\n" refs)
  string(APPEND page "${refs}\n")
endif()
file(WRITE "${OUTPUT}" "${page}")
