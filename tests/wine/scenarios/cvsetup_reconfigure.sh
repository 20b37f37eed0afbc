# cvsetup-host 99999: reconfiguring needs an installed instance.

scenario_setup_reconfigure_without_instance() {
  run cvsetup-host 99999
  expect_status 0
  expect_stdout $'3,\n'
}

# A key named CVLAN alone is no instance.
scenario_setup_reconfigure_cvlan_without_number() {
  instance_key CVLAN
  instance_key CVLAN11
  run cvsetup-host 99999
  expect_stdout $'3,\n'
}
