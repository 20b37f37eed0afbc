# cv_mon: the start-up error when no driver answers.

scenario_cv_mon_no_driver() {
  run cv_mon
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
}

# An instance key without a device: the same line, and no DOS device name left behind.
scenario_cv_mon_instance_key_without_device() {
  instance_key CVLAN2
  run cv_mon all
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
  run probe_dos_device CVLAN2
  expect_stdout $'CVLAN2: no DOS device name (error 2)\n'
}
