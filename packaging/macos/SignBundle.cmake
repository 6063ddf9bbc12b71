# Signs the installed bundle; run by cmake --install after Qt is deployed into it (BRINDLEX_APP,
# BRINDLEX_MAIN_EXECUTABLE, BRINDLEX_SIGN_IDENTITY and BRINDLEX_ENTITLEMENTS come from Bundle.cmake's install
# rules). The order and the options of each codesign run are brindlex_signing_plan's (MachO.cmake, which says
# which of Apple's documents each follows): nested code first, brindlexctl among it, the bundle last. codesign's
# --deep is meant for verifying, not for signing (TN2206, "Using the codesign Tool's --deep Option Correctly").
# An ad hoc signature ("-") runs on this Mac. A Developer ID signature adds the hardened runtime and a secure
# timestamp; under the hardened runtime macOS lets the program ask to control Safari only with the Apple-events
# entitlement (the program's osascript runs on its behalf).
include(${CMAKE_CURRENT_LIST_DIR}/MachO.cmake)
brindlex_signing_plan(plan "${BRINDLEX_APP}" "${BRINDLEX_MAIN_EXECUTABLE}" "${BRINDLEX_SIGN_IDENTITY}"
                      "${BRINDLEX_ENTITLEMENTS}")
foreach(step IN LISTS plan)
  string(REPLACE "|" ";" arguments "${step}")
  execute_process(COMMAND codesign ${arguments} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND codesign --verify --strict --deep "${BRINDLEX_APP}" COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Signed ${BRINDLEX_APP} (${BRINDLEX_SIGN_IDENTITY})")
