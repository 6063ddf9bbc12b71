# Signs the installed bundle; run by cmake --install after Qt is deployed into it (BRINDLEX_APP,
# BRINDLEX_SIGN_IDENTITY and BRINDLEX_ENTITLEMENTS come from Bundle.cmake's install rules).
# Nested code is signed first and the bundle last, since a bundle's signature seals what it contains; codesign's
# --deep is meant for verifying, not for signing.
# An ad hoc signature ("-") runs on this Mac. A Developer ID signature adds the hardened runtime and a secure
# timestamp; under the hardened runtime macOS lets the program ask to control Safari only with the Apple-events
# entitlement (the program's osascript runs on its behalf).
set(sign codesign --force --sign "${BRINDLEX_SIGN_IDENTITY}")
if(NOT BRINDLEX_SIGN_IDENTITY STREQUAL "-")
  list(APPEND sign --options runtime --timestamp)
endif()

file(GLOB_RECURSE libraries LIST_DIRECTORIES false
  "${BRINDLEX_APP}/Contents/Frameworks/*.dylib" "${BRINDLEX_APP}/Contents/PlugIns/*.dylib")
file(GLOB frameworks LIST_DIRECTORIES true "${BRINDLEX_APP}/Contents/Frameworks/*.framework")
foreach(code IN LISTS libraries frameworks)
  execute_process(COMMAND ${sign} "${code}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND ${sign} --entitlements "${BRINDLEX_ENTITLEMENTS}" "${BRINDLEX_APP}"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND codesign --verify --strict --deep "${BRINDLEX_APP}" COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Signed ${BRINDLEX_APP} (${BRINDLEX_SIGN_IDENTITY})")
