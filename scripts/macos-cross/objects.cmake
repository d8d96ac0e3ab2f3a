# Reads the compile_commands.json of a build tree and writes
#   OBJECTS   every object file it lists, one a line;
#   MAKEFILE  a makefile whose default goal compiles, with the build's own
#             command lines, each of those that does not exist yet: the
#             translation units of targets the build did not make.
#
#   cmake -DTREE=<build tree> -DOBJECTS=<file> -DMAKEFILE=<file> -P objects.cmake
cmake_minimum_required(VERSION 3.25)

file(READ "${TREE}/compile_commands.json" _json)
string(JSON _count LENGTH "${_json}")
if(_count EQUAL 0)
  message(FATAL_ERROR "${TREE}/compile_commands.json lists nothing")
endif()

set(_objects "")
set(_missing "")
set(_rules "")
math(EXPR _last "${_count} - 1")
foreach(_index RANGE ${_last})
  string(JSON _dir GET "${_json}" ${_index} directory)
  string(JSON _command GET "${_json}" ${_index} command)
  if(NOT _command MATCHES " -o ([^ ]+) ")
    message(FATAL_ERROR "No object file in: ${_command}")
  endif()
  set(_object "${_dir}/${CMAKE_MATCH_1}")
  string(APPEND _objects "${_object}\n")
  if(NOT EXISTS "${_object}")
    list(APPEND _missing "${_object}")
    string(REPLACE "$" "$$" _command "${_command}")
    string(APPEND _rules "${_object}:\n\tcd '${_dir}' && ${_command}\n")
  endif()
endforeach()

list(JOIN _missing " " _goal)
file(WRITE "${OBJECTS}" "${_objects}")
file(WRITE "${MAKEFILE}" "objects: ${_goal}\n.PHONY: objects\n${_rules}")
