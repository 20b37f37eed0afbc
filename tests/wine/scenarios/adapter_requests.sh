# The adapter's driver on requests that no program of the system sends: odd
# sizes, another control code, unknown identifiers, refused values. The Win32
# error and the Status left in the block are the same from the POSIX machine's
# driver and from the kernel driver under Wine.

scenario_adapter_odd_requests() {
  adapter --frozen
  run probe_device_requests cvlan1
  expect_status 0
  expect_stdout <<'TEXT'
version request: ok, 72 bytes returned, Length 72
identifier of 3 bytes: error 87, Status CCCCCCCC
other control code: error 1, Status CCCCCCCC
output of 8 bytes: error 122
no output: error 122
Length beyond the output: error 122, Status 5
Length below the header: error 122, Status 5
unknown identifier: error 50, Status 4
operation not taken: error 50, Status 7
value out of range: error 87, Status 6
delete of an address not listed: error 31, Status 8
status block, area of 500: ok, 203 bytes returned, Length 203
address, 6 bytes: ok, 6 bytes returned
address, 5 bytes: error 122
TEXT
  # What reached the adapter, as the model core received it: the same buffers
  # from both drivers (a request without even an identifier reaches neither).
  run cvsim log
  local zeros60 zeros500
  zeros60=$(printf '0%.0s' $(seq 120))
  zeros500=$(printf '0%.0s' $(seq 1000))
  expect_stdout "FF010133 1 72 $zeros60
FF010133 1 8
FF010133 0 0
FF010133 1 100
FF010133 1 8
FF01FFFF 1 14 0000
FF010133 2 72 $zeros60
FF010109 2 14 0200
FF010150 4 18 020E00000000
FF020192 1 512 $zeros500
01010102 - 6 -
01010102 - 5 -
"
  # And the driver answers on as before.
  run CV_UTIL N 7
  expect_stdout $'Net_ID set to 7\n'
}
