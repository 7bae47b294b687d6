# Fails when a file of one UI folder includes a header of a folder above it in the build order.
# Every library has src/ as its include root, so such an include would compile; this check runs
# before each folder's library is compiled and stops the build instead.
#   cmake -DFOLDER=<dir of the folder> -DALLOWED=common,document [-DEXCEPTIONS=file>folder,…]
#         [-DSTAMP=<file written on success>] -P checklayer.cmake
# ALLOWED names the folders below this one; EXCEPTIONS lists known upward includes that stay
# until they are removed, as "<file name>><folder>". Both are comma-separated.
cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" ALLOWED "${ALLOWED}")
string(REPLACE "," ";" EXCEPTIONS "${EXCEPTIONS}")

get_filename_component(own "${FOLDER}" NAME)
get_filename_component(uiRoot "${FOLDER}" DIRECTORY)
set(allowed ${ALLOWED} ${own})
file(GLOB files "${FOLDER}/*.h" "${FOLDER}/*.cpp")
list(SORT files)

set(failures "")
set(usedExceptions "")
foreach(file IN LISTS files)
  get_filename_component(fileName "${file}" NAME)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "include[ \t]*[\"<]([^\">]+)[\">]")
      continue()
    endif()
    set(target "${CMAKE_MATCH_1}")
    set(folder "")
    if(target MATCHES "^ui/([^/]+)/")
      set(folder "${CMAKE_MATCH_1}")
    elseif(target MATCHES "\\.\\./")
      # A relative include: which UI folder does it land in?
      get_filename_component(resolved "${FOLDER}/${target}" ABSOLUTE)
      string(LENGTH "${uiRoot}/" rootLength)
      string(FIND "${resolved}" "${uiRoot}/" at)
      if(at EQUAL 0)
        string(SUBSTRING "${resolved}" ${rootLength} -1 rest)
        if(rest MATCHES "^([^/]+)/")
          set(folder "${CMAKE_MATCH_1}")
        endif()
      endif()
    endif()
    if(folder STREQUAL "" OR folder IN_LIST allowed)
      continue()
    endif()
    if("${fileName}>${folder}" IN_LIST EXCEPTIONS)
      message(STATUS "ui/${own}/${fileName}: upward include \"${target}\" allowed for now")
      list(APPEND usedExceptions "${fileName}>${folder}")
      continue()
    endif()
    string(APPEND failures "  ui/${own}/${fileName}: \"${target}\"\n")
  endforeach()
endforeach()

# An exception for a file of this folder that no longer needs it is said, so it gets removed.
foreach(exception IN LISTS EXCEPTIONS)
  string(REGEX REPLACE ">.*" "" exceptionFile "${exception}")
  if(EXISTS "${FOLDER}/${exceptionFile}" AND NOT exception IN_LIST usedExceptions)
    message(WARNING "ui/${own}/${exceptionFile} no longer includes a higher folder: remove "
                    "\"${exception}\" from MXR_UI_LAYER_EXCEPTIONS")
  endif()
endforeach()

if(NOT failures STREQUAL "")
  list(JOIN ALLOWED ", " allowedText)
  if(allowedText STREQUAL "")
    set(allowedText "none")
  endif()
  message(FATAL_ERROR "ui/${own} includes a header of a higher UI folder (it may include "
                      "ui/${own} and the folders below it: ${allowedText}):\n${failures}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
