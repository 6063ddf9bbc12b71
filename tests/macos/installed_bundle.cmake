# On a Mac: installs the bundle into a fresh folder as a user would (cmake --install), then checks what would
# keep it from starting on another Mac or from passing Gatekeeper: BrindleX's run path into Contents/Frameworks,
# no library or run path outside the bundle and the system in any of its Mach-O files, the bundle's signature
# (strict and deep), brindlexctl signed by the same identity as the bundle, without entitlements, and the
# hardened runtime on both when the identity is a real one. Then the installed programs run: brindlexctl
# --version, and BrindleX started and ended with SIGTERM, which it answers by quitting normally.
# Usage: cmake -DBUILD=<build folder> -DWORK=<scratch folder> -P installed_bundle.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/macos/MachO.cmake)
function(fail)
  message(FATAL_ERROR "installed_bundle: FAILED: ${ARGV}")
endfunction()
function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE text RESULT_VARIABLE status)
  set(${out} "${text}" PARENT_SCOPE)
  set(${out}_status "${status}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
run(log ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${WORK}/dist")
if(NOT log_status EQUAL 0)
  fail("cmake --install: ${log}")
endif()
set(app "${WORK}/dist/BrindleX.app")
set(main "${app}/Contents/MacOS/BrindleX")
set(ctl "${app}/Contents/MacOS/brindlexctl")
foreach(f "${main}" "${ctl}" "${app}/Contents/Resources/browser-control.scpt" "${app}/Contents/Resources/BrindleX.icns")
  if(NOT EXISTS "${f}")
    fail("${f} was not installed")
  endif()
endforeach()

# --- Mach-O: run paths and libraries ----------------------------------------------------------------------------
run(text otool -l "${main}")
brindlex_macho_rpaths(rpaths "${text}")
if(NOT "@executable_path/../Frameworks" IN_LIST rpaths)
  fail("BrindleX's run paths are '${rpaths}', without @executable_path/../Frameworks")
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false "${app}/*")
set(machos 0)
foreach(f IN LISTS files)
  if(IS_SYMLINK "${f}")
    continue()
  endif()
  file(READ "${f}" magic LIMIT 4 HEX)
  if(NOT magic MATCHES "^(cffaedfe|cefaedfe|cafebabe|feedfacf|feedface)$")
    continue()
  endif()
  math(EXPR machos "${machos} + 1")
  run(text otool -L "${f}")
  brindlex_macho_foreign_libraries(foreign "${text}")
  run(text otool -l "${f}")
  brindlex_macho_rpaths(rpaths "${text}")
  list(FILTER rpaths EXCLUDE REGEX "^@(executable|loader)_path(/|$)")
  if(foreign OR rpaths)
    fail("${f} loads from outside the bundle: ${foreign} ${rpaths}")
  endif()
endforeach()
if(machos LESS 3)
  fail("only ${machos} Mach-O files in the bundle: were Qt's frameworks deployed?")
endif()

# --- signatures -------------------------------------------------------------------------------------------------
run(text codesign --verify --strict --deep --verbose=2 "${app}")
if(NOT text_status EQUAL 0)
  fail("codesign --verify --strict --deep: ${text}")
endif()
run(text codesign --verify --strict --verbose=2 "${ctl}")
if(NOT text_status EQUAL 0)
  fail("brindlexctl is not signed: ${text}")
endif()
foreach(code app ctl)
  run(details codesign --display --verbose=2 "${${code}}")
  string(REGEX MATCHALL "(Authority|TeamIdentifier|Signature)=[^\n]*" ${code}_identity "${details}")
  string(REGEX MATCH "flags=0x[0-9a-f]+\\(([^)]*)\\)" _ "${details}")
  set(${code}_flags "${CMAKE_MATCH_1}")
  run(${code}_entitlements codesign --display --entitlements - --xml "${${code}}")
endforeach()
if(NOT app_identity STREQUAL ctl_identity)
  fail("brindlexctl is signed as '${ctl_identity}', the bundle as '${app_identity}'")
endif()
if(NOT app_identity MATCHES "Signature=adhoc" AND NOT (app_flags MATCHES "runtime" AND ctl_flags MATCHES "runtime"))
  fail("no hardened runtime: the bundle's flags are '${app_flags}', brindlexctl's '${ctl_flags}'")
endif()
if(NOT app_entitlements MATCHES "com.apple.security.automation.apple-events")
  fail("the bundle carries no Apple-events entitlement: ${app_entitlements}")
endif()
if(ctl_entitlements MATCHES "com.apple.security")
  fail("brindlexctl carries entitlements: ${ctl_entitlements}")
endif()

# --- the installed programs run on the Qt in the bundle ---------------------------------------------------------
run(version "${ctl}" --version)
if(NOT version_status EQUAL 0 OR NOT version MATCHES "^brindlexctl [0-9]")
  fail("the installed brindlexctl --version: ${version}")
endif()
# Its own home, so nothing of the user's is read or written; the offscreen platform when it was deployed.
set(platform "")
if(EXISTS "${app}/Contents/PlugIns/platforms/libqoffscreen.dylib")
  set(platform QT_QPA_PLATFORM=offscreen)
endif()
file(MAKE_DIRECTORY "${WORK}/home")
run(text sh -c [[
  env HOME="$1" $3 "$2" > "$1/app.log" 2>&1 & app=$!
  i=0; while [ ! -f "$1/Library/Preferences/Brindle.plist" ] && kill -0 $app 2>/dev/null && [ $i -lt 200 ]; do
    sleep 0.1; i=$((i + 1)); done
  [ -f "$1/Library/Preferences/Brindle.plist" ] || { kill -9 $app; cat "$1/app.log"; echo "did not start"; exit 1; }
  kill -TERM $app
  i=0; while kill -0 $app 2>/dev/null && [ $i -lt 200 ]; do sleep 0.1; i=$((i + 1)); done
  kill -0 $app 2>/dev/null && { kill -9 $app; echo "did not quit on SIGTERM"; exit 1; }
  wait $app; status=$?; [ $status -eq 0 ] || { cat "$1/app.log"; echo "ended with $status"; exit 1; }]]
  sh "${WORK}/home" "${main}" "${platform}")
if(NOT text_status EQUAL 0)
  fail("the installed BrindleX: ${text}")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "installed_bundle: run path, ${machos} Mach-O files, signatures and both programs as expected")
