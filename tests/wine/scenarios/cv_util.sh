# CV_UTIL: the usage text and the ways it ends when no driver answers.

cv_util_usage_text=$(cat <<'TEXT'
Corvane API Utility V3.00
Usage: CV_UTIL <function code> [<optional parameters>,,,]
Function codes and [optional] parameters:
  A - Display Adapter Configuration info
  B - Display Net_ID/AP_ID info
  B <AP_ID> - Set Preferred AP_ID
  I - Display Adapter Info/Statistics
  N <Net_ID> - Set Net_ID
  The following apply to the CellAP -
  W - Display Access Control List (ACL)
  X <IEEE address> - Add ACL Entry
  Y <IEEE address> - Delete ACL Entry
  Z - Clear ACL
TEXT
)$'\n'


# Without arguments the usage text comes before any look for a driver.
scenario_cv_util_usage() {
  run CV_UTIL
  expect_status 0
  expect_stdout "$cv_util_usage_text"
}

# The driver is looked for before the letter is examined: q does not reach the usage text.
scenario_cv_util_no_instance_key() {
  run CV_UTIL I
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
  run CV_UTIL q
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
}

# An instance key whose device does not exist: the library defines the DOS
# device name, fails to open the device and removes the name again.
scenario_cv_util_instance_key_without_device() {
  instance_key cvlan1
  run CV_UTIL A
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
  run probe_dos_device cvlan1
  expect_status 0
  expect_stdout $'cvlan1: no DOS device name (error 2)\n'
}

# cvlan10 is no instance key of the console programs.
scenario_cv_util_cvlan10_is_not_an_instance() {
  instance_key cvlan10
  run CV_UTIL I all
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
  run probe_dos_device cvlan10
  expect_stdout $'cvlan10: no DOS device name (error 2)\n'
}
