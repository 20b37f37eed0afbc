# cvsetup-host 1 PATH: does a line of the file begin with CVLAN? "2" yes, "0" no.

scenario_setup_file_third_line_cvlan2() {
  text_file oemsetup.inf $'[Options]\nfirst = 1\ncvlan2 = "Corvane adapter"\nlast\n'
  run cvsetup-host 1 oemsetup.inf
  expect_status 0
  expect_stdout $'2\n'
}

scenario_setup_file_cvlan_after_other_text() {
  text_file setup.txt $'driver CVLAN1\n  CVLAN2\n;CVLAN\n'
  run cvsetup-host 1 setup.txt
  expect_stdout $'0\n'
}

scenario_setup_file_four_letters_only() {
  text_file setup.txt $'CVLA\nCVLA\r\n'
  run cvsetup-host 1 setup.txt
  expect_stdout $'0\n'
}

scenario_setup_file_last_line_without_line_end() {
  text_file setup.txt $'one\nCvLaN'
  run cvsetup-host 1 setup.txt
  expect_stdout $'2\n'
}

scenario_setup_file_empty() {
  text_file empty.txt ''
  run cvsetup-host 1 empty.txt
  expect_status 0
  expect_stdout $'0\n'
}

# Only the first file of the folder counts, in name order without regard to case.
scenario_setup_folder_first_file_decides() {
  text_file inf/a.txt $'nothing here\n'
  text_file inf/B.TXT $'CVLAN1\n'
  run cvsetup-host 1 inf
  expect_stdout $'0\n'
  text_file inf/0.TXT $'CVLAN1\n'
  run cvsetup-host 1 inf
  expect_stdout $'2\n'
}

# A folder without files of its own: the first file of its first subfolder.
scenario_setup_folder_files_in_subfolder() {
  folder inf/empty
  text_file inf/sub/Setup.Inf $'cvlan3\n'
  run cvsetup-host 1 inf
  expect_stdout $'2\n'
}

scenario_setup_missing_path() {
  run cvsetup-host 1 no-such-file.inf
  expect_status 0
  expect_stdout $'0\n'
}

# A path of 300 characters is refused, not cut: the file its first 259
# characters name holds a CVLAN line, and so does the file itself.
scenario_setup_path_of_300_characters() {
  local dir name
  dir=$(printf 'd%.0s' {1..200})
  name=$(printf 'f%.0s' {1..99})
  text_file "$dir/$name" $'CVLAN1\n'
  text_file "$dir/${name:0:58}" $'CVLAN1\n'
  run cvsetup-host 1 "$dir/$name"
  expect_status 0
  expect_stdout $'0\n'
}

# A device is no text file: it is not read (it would never end), and the answer is "0" at once.
scenario_setup_device_is_not_read() {
  run cvsetup-host 1 /dev/zero
  expect_status 0
  expect_stdout $'0\n'
}
