# CV_UTIL against a simulated adapter: on POSIX the machine's, under Wine the
# kernel-mode driver that cvsim.exe installs, reached through the DOS device
# name, CreateFileA and DeviceIoControl. Simulated time stands still
# (--frozen), so that both hosts hold the same adapter.

# The usage text is cv_util.sh's.
[ -n "${cv_util_usage_text-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/cv_util.sh"

version_request=FF010133' 1 72 '$(printf '0%.0s' $(seq 120))

scenario_cv_util_adapter_configuration() {
  adapter --frozen
  run cvsim set irq 10
  run cvsim set io 300
  run cvsim set netid 1A2B
  run cvsim set firmware-version V1.23a
  run cvsim set firmware-date 970315
  run cvsim set address 00A0F8123456
  run cvsim poke 513 02
  expect_status 0
  run CV_UTIL A
  expect_status 0
  expect_stdout <<'TEXT'
Configuration: IRQ = 10, IO Address = 300, Memory Address = D000
Net_ID = 1A2B (6699)
Firmware: V1.23a, Date: 970315
IEEE Table: Japan
IEEE Address: 00 A0 F8 12 34 56
TEXT
  # A failed request leaves out its own line and nothing else.
  run cvsim fail FF010106 1
  run CV_UTIL adapter
  expect_status 0
  expect_stdout <<'TEXT'
Configuration: IRQ = 10, IO Address = 300, Memory Address = D000
Net_ID = 1A2B (6699)
IEEE Table: Japan
IEEE Address: 00 A0 F8 12 34 56
TEXT
  # The library removed the DOS device name that it defined.
  not_under_wine64 "the 64-bit driver defines its DOS device name itself" || return
  run probe_dos_device cvlan1
  expect_stdout $'cvlan1: no DOS device name (error 2)\n'
}

# Once a driver answers, a letter without a function gives the usage text.
scenario_cv_util_adapter_unknown_letter() {
  adapter --frozen
  run CV_UTIL q
  expect_status 0
  expect_stdout "$cv_util_usage_text"
}

scenario_cv_util_adapter_old_driver() {
  adapter --frozen --driver-version 1.03
  run CV_UTIL A
  expect_status 1
  expect_stdout $'Error - Corvane API is not installed.\n'
  run cvsim set driver-version 1.04
  run CV_UTIL Z
  expect_status 0
  expect_stdout $'ACL cleared\n'
}

scenario_cv_util_adapter_association() {
  adapter --frozen
  run cvsim set ap-address 00A0F8AABBCC
  run cvsim poke 50C 80
  run cvsim poke 518 2B 1A
  run cvsim poke 522 83 85
  run CV_UTIL B
  expect_status 0
  expect_stdout <<'TEXT'
Adapter is associated:
  Net_ID: 1A2B
  AP_ID: 3
  Preferred AP_ID: 5 *
  AP IEEE Address: 00A0F8AABBCC
TEXT
  run cvsim poke 50C 7F
  run CV_UTIL B
  expect_stdout $'Adapter is not associated\n'
  # The preferred access point: the value, then 5, 4 and 1, as the log shows.
  run cvsim log --clear
  run CV_UTIL B 1A
  expect_stdout $'Preferred AP_ID Set to 1A\n'
  run cvsim log
  expect_stdout "$version_request"$'\nFF010136 2 20 1A00050004000100\n'
}

scenario_cv_util_adapter_net_id() {
  adapter --frozen
  run CV_UTIL N 7
  expect_stdout $'Net_ID set to 7\n'
  run CV_UTIL D 0x1A2B
  expect_stdout $'Net_ID set to 1A2B\n'
  run cvsim peek 518 2
  expect_stdout $'2B 1A\n'
  run CV_UTIL N 123456789
  expect_stdout $'Net_ID set to 23456789\n'
  run cvsim peek 518 2
  expect_stdout $'89 67\n'
  run CV_UTIL N 1 2
  expect_status 0
  expect_stdout $'requires Net_ID parameter\n'
  run CV_UTIL N zz
  expect_status 0
  expect_stdout 'Invalid hex input: zz'
}

scenario_cv_util_adapter_status() {
  adapter --frozen
  # Associated, PSP, beacon algorithm 3; net 1A2B, station 1234, radio type 2, AP 83;
  # 4 access points, 65535 full and 1 partial scans; then the traffic counters.
  run cvsim poke 50C 80 00 01 03 00 00 00 00
  run cvsim poke 518 2B 1A 34 12 00 00 00 F2 00 00 83
  run cvsim poke 539 04 00
  run cvsim poke 551 FF FF 01 00
  run cvsim poke 561 E8 03 00 00 00 00 00 00 01 00 02 00 03 00 00 00 04 00 00 00 05 00
  run cvsim poke 58D 06 00 00 00 00 00 07 00 08 00 09 00
  run cvsim poke 59F 0A 00 00 00 00 00 00 00 00 00 0B 00
  expect_status 0
  run CV_UTIL I all
  expect_status 0
  expect_stdout <<'TEXT'
Associated, Mode PSP, Beacon Algorithm 3, Tx Enabled
Net_ID 1A2B, AP_ID 83, Station_ID 1234, Radio A
AP Count 4, Full Scans 65535, Partial Scans 1
Host Transmit 1000, Dir_Uni 1, Non_Dir_Uni 2, Tx_Poll 3
  Tx Retries 4, Tx Failures 5
Host Receive 6, Dir_Uni 7, Non_Dir_Uni 9, Rx_Poll 8
  Rx Duplicate 10, Rx CRC Error 11
TEXT
  run CV_UTIL I ALL
  expect_stdout <<'TEXT'
Associated, Mode PSP, Beacon Algorithm 3, Tx Enabled
Net_ID 1A2B, AP_ID 83, Station_ID 1234, Radio A
AP Count 4, Full Scans 65535, Partial Scans 1
TEXT
  # A failed status read prints nothing and keeps status 0.
  run cvsim fail FF020192 9
  run CV_UTIL I all
  expect_status 0
  expect_stdout ''
}

scenario_cv_util_adapter_access_control_list() {
  adapter --frozen --cellap
  run CV_UTIL W
  expect_stdout $'No ACL entries\n'
  run CV_UTIL X 02 0E 5A 01 02 1FF
  expect_stdout $'ACL updated\n'
  run cvsim acl
  expect_stdout $'02 0E 5A 01 02 FF\n'
  run CV_UTIL W
  expect_stdout $'ACL contains 1 entries:\n02 0E 5A 01 02 FF\n'
  run CV_UTIL y 0x02 0E 5a 1 2 ff
  expect_stdout $'ACL updated\n'
  run cvsim acl
  expect_stdout ''
  run CV_UTIL X 02 0E 5A 01 02
  expect_stdout $'Requires 6 byte IEEE MAC address.  Example: CV_UTIL X 02 0E 5A 01 02 03\n'
  run CV_UTIL X 02 0E G1 01 02 03
  expect_stdout 'Invalid hex input: G1'
  run CV_UTIL Z
  expect_stdout $'ACL cleared\n'
  run cvsim fail FF010150 12
  run CV_UTIL Z
  expect_status 0
  expect_stdout ''
}

# More entries than CV_UTIL reads: the driver reports the whole list's size.
scenario_cv_util_adapter_access_control_list_too_long() {
  adapter --frozen --cellap
  local n expected='ACL contains 20 entries:'$'\n'
  for n in $(seq 1 20); do
    run cvsim acl add "$(printf '020E5A0102%02X' "$n")"
    expected+=$(printf '02 0E 5A 01 02 %02X' "$n")$'\n'
  done
  run CV_UTIL W
  expect_stdout "$expected"
  run cvsim acl add 020E5A010215
  run CV_UTIL W
  expect_stdout $'Error getting ACL\n'
}

# An instance key in capitals, as the registry returns it, names the device.
scenario_cv_util_adapter_instance_in_capitals() {
  adapter --frozen --instance CVLAN2
  run CV_UTIL N 7
  expect_status 0
  expect_stdout $'Net_ID set to 7\n'
  run cvsim peek 518 2
  expect_stdout $'07 00\n'
  not_under_wine64 "the 64-bit driver defines its DOS device name itself" || return
  run probe_dos_device CVLAN2
  expect_stdout $'CVLAN2: no DOS device name (error 2)\n'
}

# cvsim check says what CV_UTIL finds, on both hosts: a driver too old is refused.
scenario_cv_util_adapter_as_cvsim_check_says() {
  adapter --frozen
  run cvsim check
  expect_status 0
  run cvsim set driver-version 1.03
  run cvsim check
  expect_status 1
  run CV_UTIL I
  expect_status 1
  run cvsim set driver-version 1.04
  run cvsim check
  expect_status 0
  run CV_UTIL I
  expect_status 0
}
