# The macOS application bundle: Info.plist, the icon, the browser-control AppleScript compiled into the
# bundle's resources, and an installed bundle that carries its own Qt and is signed.
#
# Included on every system: the Info.plist is configured into the build folder everywhere, so its keys are
# checked on any machine (tests/scripts/macos_bundle.sh). On a Mac, brindlex_macos_bundle(<target>) makes the
# MACOSX_BUNDLE executable <target> the bundle.

include(${CMAKE_CURRENT_LIST_DIR}/MachO.cmake)

# LSMinimumSystemVersion, below which macOS refuses to open the bundle rather than let it crash (Apple's
# Information Property List reference, LSMinimumSystemVersion): the higher of the deployment target and the
# minimum of the QtCore that find_package found, which the installed bundle carries. Homebrew builds Qt for the
# macOS it runs on, so this is often higher than the deployment target given.
set(BRINDLEX_QT_MINIMUM "")
if(APPLE AND TARGET Qt6::Core)
  get_target_property(BRINDLEX_QTCORE Qt6::Core LOCATION)
  brindlex_read_minimum_macos(BRINDLEX_QT_MINIMUM "${BRINDLEX_QTCORE}")
  if(NOT BRINDLEX_QT_MINIMUM)
    message(WARNING "The minimum macOS of ${BRINDLEX_QTCORE} could not be read (otool -l, vtool -show-build): "
                    "the bundle says 14.0 or the deployment target")
  endif()
endif()
brindlex_bundle_minimum_macos(BRINDLEX_MACOS_MINIMUM "${CMAKE_OSX_DEPLOYMENT_TARGET}" "${BRINDLEX_QT_MINIMUM}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Info.plist.in ${CMAKE_BINARY_DIR}/Info.plist @ONLY)

if(APPLE)
  set(BRINDLEX_CODESIGN_IDENTITY "-" CACHE STRING
    "What cmake --install signs BrindleX.app with: - (ad hoc) or a \"Developer ID Application: ...\" identity")
endif()

function(brindlex_macos_bundle target)
  set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set_target_properties(${target} PROPERTIES MACOSX_BUNDLE_INFO_PLIST ${CMAKE_BINARY_DIR}/Info.plist)
  # Qt's frameworks are named @rpath/...; installed, the program finds the copies deployed into the bundle
  # through this run path, and CMake adds none for a bundle by itself
  # (https://gitlab.kitware.com/cmake/cmake/-/issues/22997). qt_add_executable would add the same
  # (qtbase, src/corelib/Qt6AppleMacros.cmake, _qt_internal_finalize_macos_app). In the build folder CMake's
  # build run path to Homebrew's Qt applies instead.
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "@executable_path/../Frameworks")

  # Bundle sources marked for Resources are copied into Contents/Resources, which CMake makes for them. The
  # script is compiled again whenever its source changes, not only when the program relinks.
  set(script ${CMAKE_CURRENT_BINARY_DIR}/browser-control.scpt)
  add_custom_command(OUTPUT ${script}
    COMMAND osacompile -o ${script} ${here}/browser-control.applescript
    DEPENDS ${here}/browser-control.applescript
    COMMENT "Compiling browser-control.applescript"
    VERBATIM)
  set_source_files_properties(${script} PROPERTIES GENERATED TRUE MACOSX_PACKAGE_LOCATION Resources)
  set_source_files_properties(${here}/BrindleX.icns PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
  target_sources(${target} PRIVATE ${script} ${here}/BrindleX.icns)

  # Installing: the bundle, then Qt's frameworks and plugins into it (so it starts without Homebrew's
  # prefix), then the signature over all of it.
  install(TARGETS ${target} BUNDLE DESTINATION .)
  set(deploy "")
  if(Qt6_VERSION VERSION_GREATER_EQUAL 6.5)
    qt_generate_deploy_app_script(TARGET ${target} OUTPUT_SCRIPT deploy NO_UNSUPPORTED_PLATFORM_ERROR)
  elseif(Qt6_VERSION VERSION_GREATER_EQUAL 6.3)
    qt_generate_deploy_app_script(TARGET ${target} FILENAME_VARIABLE deploy NO_UNSUPPORTED_PLATFORM_ERROR)
  else()
    message(WARNING "Qt ${Qt6_VERSION} writes no deployment script (Qt 6.3 and later do): the installed "
                    "bundle will load Qt from ${QT6_INSTALL_PREFIX}")
  endif()
  if(deploy)
    install(SCRIPT ${deploy})
  endif()
  install(CODE "
    set(BRINDLEX_APP \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:${target}>.app\")
    set(BRINDLEX_MAIN_EXECUTABLE \"$<TARGET_FILE_NAME:${target}>\")
    set(BRINDLEX_SIGN_IDENTITY \"${BRINDLEX_CODESIGN_IDENTITY}\")
    set(BRINDLEX_ENTITLEMENTS \"${here}/BrindleX.entitlements\")")
  install(SCRIPT ${here}/SignBundle.cmake)
endfunction()
