# The bundle's Apple-only decisions checked on any system: reading the minimum macOS, the run paths and the
# outside libraries from otool's and vtool's output (the samples are in the form cctools' otool prints), the
# minimum the bundle states, and the order and options of the signing.
# Usage: cmake -DWORK=<empty folder> -P macho_test.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/macos/MachO.cmake)
set(samples ${CMAKE_CURRENT_LIST_DIR}/samples)
function(expect what got want)
  if(NOT "${got}" STREQUAL "${want}")
    message("macho: FAILED: ${what} gave '${got}', not '${want}'")
    set_property(GLOBAL APPEND PROPERTY macho_failures "${what}")
  endif()
endfunction()
function(sample var name)
  file(READ ${samples}/${name} text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# --- the minimum macOS: the highest over a universal file's architectures, macOS's own platform only ----------
foreach(case "qtcore-universal.otool-l.txt=14.0" "qtcore-zippered.vtool-show-build.txt=15.0"
             "qtcore-version-min.otool-l.txt=10.13" "libraries-installed.otool-L.txt=")
  string(REPLACE "=" ";" case "${case}")
  list(GET case 0 name)
  list(LENGTH case n)
  set(want "")
  if(n GREATER 1)
    list(GET case 1 want)
  endif()
  sample(text ${name})
  brindlex_macho_minimum_macos(got "${text}")
  expect("the minimum macOS of ${name}" "${got}" "${want}")
endforeach()

foreach(case "12.0;;14.0" ";;14.0" "12.0;13.0;13.0" "12.0;15.1;15.1" "15.2;14.0;15.2")
  list(GET case 0 target)
  list(GET case 1 qt)
  list(GET case 2 want)
  brindlex_bundle_minimum_macos(got "${target}" "${qt}")
  expect("the bundle's minimum for target '${target}' and Qt '${qt}'" "${got}" "${want}")
endforeach()

# --- what otool shows of the installed bundle ----------------------------------------------------------------
sample(text brindlex.otool-l.txt)
brindlex_macho_rpaths(got "${text}")
expect("the run paths" "${got}" "@executable_path/../Frameworks;/opt/homebrew/lib")
sample(text qtcore-universal.otool-l.txt)
brindlex_macho_rpaths(got "${text}")
expect("QtCore's run paths" "${got}" "/opt/homebrew/lib")
sample(text libraries-installed.otool-L.txt)
brindlex_macho_foreign_libraries(got "${text}")
expect("outside libraries of the installed program" "${got}" "")
sample(text libraries-homebrew.otool-L.txt)
brindlex_macho_foreign_libraries(got "${text}")
expect("outside libraries of a plug-in" "${got}"
       "/opt/homebrew/opt/jpeg-turbo/lib/libjpeg.8.dylib;/usr/local/Cellar/qt/6.7.2/lib/QtCore.framework/Versions/A/QtCore")

# --- signing: inside out, one identity, entitlements on BrindleX alone ---------------------------------------
if(NOT WORK)
  message(FATAL_ERROR "macho: no WORK folder given")
endif()
set(app "${WORK}/dist/BrindleX.app")
file(REMOVE_RECURSE "${WORK}/dist")
foreach(f MacOS/BrindleX MacOS/brindlexctl Resources/browser-control.scpt Info.plist
          Frameworks/QtCore.framework/Versions/A/QtCore Frameworks/QtGui.framework/Versions/A/QtGui
          PlugIns/platforms/libqcocoa.dylib PlugIns/imageformats/libqjpeg.dylib)
  file(WRITE "${app}/Contents/${f}" "")
endforeach()
set(c "${app}/Contents")
set(E "--entitlements|/src/BrindleX.entitlements")
brindlex_signing_plan(got "${app}" BrindleX - /src/BrindleX.entitlements)
expect("the ad hoc signing" "${got}"
  "--force|--sign|-|${c}/PlugIns/imageformats/libqjpeg.dylib;--force|--sign|-|${c}/PlugIns/platforms/libqcocoa.dylib;\
--force|--sign|-|${c}/Frameworks/QtCore.framework;--force|--sign|-|${c}/Frameworks/QtGui.framework;\
--force|--sign|-|${c}/MacOS/brindlexctl;--force|--sign|-|${E}|${app}")
set(id "Developer ID Application: A Developer (TEAMID1234)")
brindlex_signing_plan(got "${app}" BrindleX "${id}" /src/BrindleX.entitlements)
set(S "--force|--sign|${id}|--timestamp")
expect("the Developer ID signing" "${got}"
  "${S}|${c}/PlugIns/imageformats/libqjpeg.dylib;${S}|${c}/PlugIns/platforms/libqcocoa.dylib;\
${S}|${c}/Frameworks/QtCore.framework;${S}|${c}/Frameworks/QtGui.framework;\
${S}|--options|runtime|${c}/MacOS/brindlexctl;${S}|--options|runtime|${E}|${app}")
file(REMOVE_RECURSE "${WORK}/dist")
get_property(failures GLOBAL PROPERTY macho_failures)
if(failures)
  message(FATAL_ERROR "macho: failed")
endif()
message(STATUS "macho: minimum macOS, run paths, outside libraries and the signing plan as expected")
