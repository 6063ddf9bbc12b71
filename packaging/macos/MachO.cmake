# Reading Mach-O files through Apple's tools, and the order the bundle is signed in. Only running otool, vtool
# and codesign needs a Mac: every function that decides something from their output is plain CMake, included by
# the build, the install scripts and tests/macos/macho_test.cmake, which checks them on any system against
# sample outputs (tests/macos/samples).
include_guard(GLOBAL)

# The minimum macOS of a Mach-O file, from the text `otool -l FILE` or `vtool -show-build FILE` prints: the
# `minos` of each LC_BUILD_VERSION load command for the macOS platform (otool prints it as 1 or MACOS,
# vtool as MACOS), or the `version` of LC_VERSION_MIN_MACOSX, which files built for macOS before 10.14 carry
# instead. A universal file lists its load commands once per architecture; the highest minimum is the one
# that holds for the file. Empty when the text has none.
# The load commands and their fields: <mach-o/loader.h> (struct build_version_command, version_min_command);
# the printed form: cctools' otool (ofile_print.c, print_build_version_command).
function(brindlex_macho_minimum_macos out text)
  string(REPLACE ";" "," text "${text}")
  string(REGEX REPLACE "\r?\n" ";" lines "${text}")
  set(command "")
  set(platform "")
  set(highest "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    set(found "")
    if(line MATCHES "^Load command " OR line MATCHES "\\(architecture [^)]*\\):$")
      set(command "")
    elseif(line MATCHES "^cmd ([A-Z_0-9]+)$")
      set(command "${CMAKE_MATCH_1}")
      set(platform "")
    elseif(command STREQUAL "LC_BUILD_VERSION" AND line MATCHES "^platform ([A-Za-z0-9_]+)$")
      set(platform "${CMAKE_MATCH_1}")
    elseif(command STREQUAL "LC_BUILD_VERSION" AND platform MATCHES "^(1|MACOS)$" AND line MATCHES "^minos ([0-9]+(\\.[0-9]+)*)$")
      set(found "${CMAKE_MATCH_1}")
    elseif(command STREQUAL "LC_VERSION_MIN_MACOSX" AND line MATCHES "^version ([0-9]+(\\.[0-9]+)*)$")
      set(found "${CMAKE_MATCH_1}")
    endif()
    if(found AND (NOT highest OR found VERSION_GREATER highest))
      set(highest "${found}")
    endif()
  endforeach()
  set(${out} "${highest}" PARENT_SCOPE)
endfunction()

# The run-path entries (LC_RPATH) in `otool -l` output: "path @executable_path/../Frameworks (offset 12)".
function(brindlex_macho_rpaths out text)
  string(REPLACE ";" "," text "${text}")
  string(REGEX REPLACE "\r?\n" ";" lines "${text}")
  set(command "")
  set(paths "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^cmd ([A-Z_0-9]+)$")
      set(command "${CMAKE_MATCH_1}")
    elseif(command STREQUAL "LC_RPATH" AND line MATCHES "^path (.*) \\(offset [0-9]+\\)$")
      list(APPEND paths "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} "${paths}" PARENT_SCOPE)
endfunction()

# The libraries in `otool -L` output that a copied bundle could not load: every install name but those inside
# the bundle (@rpath/, @executable_path/, @loader_path/) and the system's own (/usr/lib/, /System/), so
# anything under Homebrew's prefix (/opt/homebrew, /usr/local) or any other folder. otool -L prints the file
# (per architecture for a universal one) on a line of its own ending in ":", then each library indented.
function(brindlex_macho_foreign_libraries out text)
  string(REPLACE ";" "," text "${text}")
  string(REGEX REPLACE "\r?\n" ";" lines "${text}")
  set(foreign "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]+([^ \t].*) \\(compatibility version [^)]*\\)$")
      set(name "${CMAKE_MATCH_1}")
      if(NOT name MATCHES "^(@rpath/|@executable_path/|@loader_path/|/usr/lib/|/System/)")
        list(APPEND foreign "${name}")
      endif()
    endif()
  endforeach()
  set(${out} "${foreign}" PARENT_SCOPE)
endfunction()

# The macOS a bundle says it needs (LSMinimumSystemVersion): the higher of the deployment target the code is
# compiled for and the minimum of the Qt it carries; 14.0 in place of Qt's when that could not be read, the
# oldest macOS Homebrew bottles Qt for (its bottles are built on, and for, each macOS it supports:
# https://github.com/Homebrew/legacy-homebrew/issues/48437, https://docs.brew.sh/Installation#macos-requirements).
function(brindlex_bundle_minimum_macos out deployment_target qt_minimum)
  set(minimum "${qt_minimum}")
  if(NOT minimum)
    set(minimum 14.0)
  endif()
  if(deployment_target AND deployment_target VERSION_GREATER minimum)
    set(minimum "${deployment_target}")
  endif()
  set(${out} "${minimum}" PARENT_SCOPE)
endfunction()

# The minimum macOS of a Mach-O file on this Mac: otool -l, else vtool -show-build (both come with Xcode's
# command-line tools). Empty when neither can read it, or off a Mac.
function(brindlex_read_minimum_macos out file)
  set(minimum "")
  foreach(tool otool vtool)
    find_program(BRINDLEX_${tool} ${tool})
    if(NOT minimum AND BRINDLEX_${tool} AND EXISTS "${file}")
      if(tool STREQUAL "otool")
        set(arguments -l)
      else()
        set(arguments -show-build)
      endif()
      execute_process(COMMAND ${BRINDLEX_${tool}} ${arguments} "${file}"
                      OUTPUT_VARIABLE text ERROR_QUIET RESULT_VARIABLE status)
      if(status EQUAL 0)
        brindlex_macho_minimum_macos(minimum "${text}")
      endif()
    endif()
  endforeach()
  set(${out} "${minimum}" PARENT_SCOPE)
endfunction()

# QtCore of the Qt a configure run will find, looked for before project() (so before find_package can): under
# Qt6_DIR, each CMAKE_PREFIX_PATH entry (the README's Homebrew line sets it), then Homebrew's own prefixes.
function(brindlex_find_qtcore out)
  set(prefixes "")
  if(Qt6_DIR)
    get_filename_component(prefix "${Qt6_DIR}/../../.." ABSOLUTE)
    list(APPEND prefixes "${prefix}")
  endif()
  string(REPLACE ":" ";" environment_prefixes "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND prefixes ${CMAKE_PREFIX_PATH} ${environment_prefixes} /opt/homebrew /usr/local)
  foreach(prefix IN LISTS prefixes)
    if(EXISTS "${prefix}/lib/QtCore.framework/QtCore")
      set(${out} "${prefix}/lib/QtCore.framework/QtCore" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

# What cmake --install signs, in order, each as the arguments of one codesign run joined by "|": every library
# and framework the bundle carries, then each other program in Contents/MacOS (brindlexctl), then the bundle,
# whose signature seals everything inside it and so comes last ("sign from the inside out": Apple's TN2206,
# macOS Code Signing In Depth, "Nested Code"; and "Creating distribution-signed code for macOS",
# https://developer.apple.com/forums/thread/701514). Every piece gets the same identity. With a real identity
# every piece gets a secure timestamp and every program the hardened runtime, which notarization demands of
# each main executable, a helper tool's too (https://developer.apple.com/forums/thread/683743); the ad hoc
# identity "-" can have neither. The entitlements go on BrindleX alone: brindlexctl sends no Apple events itself
# (its osascript does, on its own account), and an entitlement a program does not need is one the notary asks
# about.
function(brindlex_signing_plan out app main_executable identity entitlements)
  set(common --force --sign "${identity}")
  set(program_options "")
  if(NOT identity STREQUAL "-")
    list(APPEND common --timestamp)
    set(program_options --options runtime)
  endif()
  file(GLOB_RECURSE libraries LIST_DIRECTORIES false
    "${app}/Contents/Frameworks/*.dylib" "${app}/Contents/PlugIns/*.dylib")
  file(GLOB frameworks LIST_DIRECTORIES true "${app}/Contents/Frameworks/*.framework")
  file(GLOB programs LIST_DIRECTORIES false "${app}/Contents/MacOS/*")
  list(SORT libraries)
  list(SORT frameworks)
  list(SORT programs)
  list(REMOVE_ITEM programs "${app}/Contents/MacOS/${main_executable}")
  set(plan "")
  foreach(code IN LISTS libraries frameworks)
    list(JOIN common "|" step)
    list(APPEND plan "${step}|${code}")
  endforeach()
  foreach(code IN LISTS programs)
    list(JOIN common "|" step)
    list(JOIN program_options "|" options)
    if(options)
      string(APPEND step "|${options}")
    endif()
    list(APPEND plan "${step}|${code}")
  endforeach()
  list(JOIN common "|" step)
  list(JOIN program_options "|" options)
  if(options)
    string(APPEND step "|${options}")
  endif()
  list(APPEND plan "${step}|--entitlements|${entitlements}|${app}")
  set(${out} "${plan}" PARENT_SCOPE)
endfunction()
