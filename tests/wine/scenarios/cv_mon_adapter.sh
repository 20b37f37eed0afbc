# cv_mon's start-up against a simulated adapter (see cv_util_adapter.sh): its
# lines, and the errors that end it before the screen.

scenario_cv_mon_adapter_without_a_console() {
  adapter --frozen
  run cv_mon all
  expect_status 1
  expect_stdout_matching <<'TEXT'
CVLAPI found at [0-9A-F]{8}
Version = 2\.10, IRQ = 5, IO Address = 340, Memory Address = D000
Net_ID = 101, Rx_Info_Ptr = [0-9A-F]{8}
Error - No console to show the statistics on
TEXT
}

scenario_cv_mon_adapter_no_association_table() {
  adapter --frozen --cellap
  run cvsim poke 17C 00 00
  run cv_mon
  expect_status 1
  expect_stdout_matching <<'TEXT'
CVLAPI found at [0-9A-F]{8}
Error - No association table pointer
TEXT
}

scenario_cv_mon_adapter_old_driver() {
  adapter --frozen --driver-version 1.03
  run cv_mon
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
}
