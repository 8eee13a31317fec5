# Writes the Debian changelog of the package from CHANGELOG.md:
#   cmake -DINPUT=CHANGELOG.md -DOUTPUT=changelog -DPACKAGE=cdmg2csv
#         -DMAINTAINER="Name <address>" -P changelog.cmake
#
# A section "## VERSION — YYYY-MM-DD HH:MM UTC" becomes one entry, each
# "### Group" heading a line "  * Group:", each "- item" below it a line
# "    - item", and a paragraph outside a list a "  * " item of its own.
# Everything before the first version is left out: the title, the
# introduction and a section "## Unreleased" of changes since the last
# release.  Continuation lines are
# indented to match, so a line of the Markdown file must stay within 76
# characters for the changelog's lines to stay within 80; a longer one
# stops the build.
cmake_minimum_required(VERSION 3.25)

foreach(variable INPUT OUTPUT PACKAGE MAINTAINER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "changelog.cmake needs -D${variable}=...")
  endif()
endforeach()

set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(day_names Thu Fri Sat Sun Mon Tue Wed)  # 1970-01-01 was a Thursday

# The day of the week of a date in the Gregorian calendar, from its day
# number counted from 1970-01-01.
function(weekday year month day result)
  set(y ${year})
  if(month LESS_EQUAL 2)
    math(EXPR y "${year} - 1")
  endif()
  math(EXPR era "${y} / 400")
  math(EXPR year_of_era "${y} - ${era} * 400")
  math(EXPR shifted_month "(${month} + 9) % 12")
  math(EXPR day_of_year "(153 * ${shifted_month} + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era
       "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  math(EXPR index "((${days} % 7) + 7) % 7")
  list(GET day_names ${index} name)
  set(${result} ${name} PARENT_SCOPE)
endfunction()

file(READ "${INPUT}" text)
string(APPEND text "\n")
set(out "")
set(trailer "")
set(in_entry FALSE)
set(continuation "")
set(line_number 0)

while(NOT text STREQUAL "")
  string(FIND "${text}" "\n" end)
  string(SUBSTRING "${text}" 0 ${end} line)
  math(EXPR next "${end} + 1")
  string(SUBSTRING "${text}" ${next} -1 text)
  math(EXPR line_number "${line_number} + 1")
  string(REGEX REPLACE "[ \t\r]+$" "" line "${line}")

  if(line STREQUAL "## Unreleased" AND NOT in_entry)
    # Changes not released yet belong to no package.
  elseif(line MATCHES "^## ")
    if(NOT line MATCHES
       "^## ([0-9][^ ]*) .* ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9]) ([0-9][0-9]):([0-9][0-9]) UTC$")
      message(FATAL_ERROR
              "${INPUT}:${line_number}: expected \"## VERSION — YYYY-MM-DD HH:MM UTC\"")
    endif()
    set(version ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_2})
    set(hour ${CMAKE_MATCH_5})
    set(minute ${CMAKE_MATCH_6})
    math(EXPR month "1${CMAKE_MATCH_3} - 100")  # no octal reading of 08 and 09
    math(EXPR day "1${CMAKE_MATCH_4} - 100")
    weekday(${year} ${month} ${day} day_name)
    math(EXPR month_index "${month} - 1")
    list(GET month_names ${month_index} month_name)
    string(APPEND out "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(trailer
        "\n -- ${MAINTAINER}  ${day_name}, ${CMAKE_MATCH_4} ${month_name} ${year} ${hour}:${minute}:00 +0000\n\n")
    set(in_entry TRUE)
    set(continuation "")
  elseif(NOT in_entry)
    # The file's title and introduction.
  elseif(line STREQUAL "")
    set(continuation "")
  elseif(line MATCHES "^### (.*)$")
    string(APPEND out "  * ${CMAKE_MATCH_1}:\n")
    set(continuation "")
  elseif(line MATCHES "^- (.*)$")
    string(APPEND out "    - ${CMAKE_MATCH_1}\n")
    set(continuation "      ")
  elseif(line MATCHES "^  (.*)$" AND NOT continuation STREQUAL "")
    string(APPEND out "${continuation}${CMAKE_MATCH_1}\n")
  elseif(continuation STREQUAL "")
    string(APPEND out "  * ${line}\n")
    set(continuation "    ")
  else()
    string(APPEND out "${continuation}${line}\n")
  endif()
endwhile()
string(APPEND out "${trailer}")
string(REGEX REPLACE "\n\n$" "\n" out "${out}")

if(NOT in_entry)
  message(FATAL_ERROR "${INPUT}: no section \"## VERSION — DATE\"")
endif()
# Lines of change text of more than 80 characters (here counted in bytes,
# which is never fewer) are too long for a Debian changelog.
set(rest "${out}")
while(NOT rest STREQUAL "")
  string(FIND "${rest}" "\n" end)
  string(SUBSTRING "${rest}" 0 ${end} line)
  if(end GREATER 80 AND NOT line MATCHES "^ -- ")
    message(FATAL_ERROR "${INPUT}: a line comes out longer than 80 characters:\n${line}")
  endif()
  math(EXPR next "${end} + 1")
  string(SUBSTRING "${rest}" ${next} -1 rest)
endwhile()
file(WRITE "${OUTPUT}" "${out}")
