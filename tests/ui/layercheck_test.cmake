# Runs the UI layer check on a sample folder: its two upward includes (one by the ui/ path, one
# relative) fail the check and are both named, its allowed includes are not; listed as
# exceptions, the same includes pass.
#   cmake -DCHECK=<checklayer.cmake> -DSAMPLE=<sample folder> -P layercheck_test.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${SAMPLE} -DALLOWED=common,document
                        -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result EQUAL 0)
  message(FATAL_ERROR "upward includes passed the check:\n${out}")
endif()
foreach(expected [[ui/dialogs/upward.cpp: "ui/pages/reportview.h"]]
                 [[ui/dialogs/relative.h: "../frame/scalebar.h"]])
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check did not name ${expected}:\n${out}")
  endif()
endforeach()
if(out MATCHES "fine.cpp")
  message(FATAL_ERROR "the check named an allowed include:\n${out}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${SAMPLE} -DALLOWED=common,document
                        "-DEXCEPTIONS=upward.cpp>pages,relative.h>frame" -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "listed exceptions still failed the check:\n${out}")
endif()
