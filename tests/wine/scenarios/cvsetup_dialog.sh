# The configuration dialog (cvsetup-host 0 and 99999) driven from the keyboard.
# Focus starts on the card type; Tab goes on through interrupt, I/O port,
# memory, Net_ID, Diversity and CellAP. Enter is OK, Escape is Cancel.

scenario_dialog_new_installation_defaults() {
  dialog 0 Enter
  expect_status 0
  expect_stdout $'0,0,5,992,832,851968,257,0,1,0,\n'
}

scenario_dialog_cancel() {
  dialog 0 Escape
  expect_status 0
  expect_stdout $'2,\n'
}

# CellAP on adds its three lists, preset to their defaults.
scenario_dialog_cellap_defaults() {
  dialog 0 Tab Tab Tab Tab Tab Tab Space Enter
  expect_status 0
  expect_stdout $'0,0,5,992,832,851968,257,0,1,1,10,255,255,\n'
}

# Interrupt 7 is refused and the dialog stays; 12 is then taken.
scenario_dialog_invalid_interrupt_then_corrected() {
  dialog 0 Tab 7 Enter Enter BSpace 1 2 Enter
  expect_status 0
  expect_stdout $'0,0,12,992,832,851968,257,0,1,0,\n'
}

# The dialog shows the instance's values; ticking Diversity is the one change.
scenario_dialog_reconfigure_diversity() {
  instance_parameters CVLAN1 CardType=1 Diversity=0 InterruptNumber=10 IoBaseAddress=0x300 CellAP=0 \
    CellAP_BDelay=10 CellAP_Hop_Seq=255 CellAP_Id=0xFF PCCARDAttributeMemoryAddress=0xD4000 Net_Id=0x1FE
  dialog 99999 Tab Tab Tab Tab Tab Space Enter
  expect_status 0
  expect_stdout $'0,1,10,992,768,868352,510,1,1,0,\n'
}

# An instance in CellAP mode: its lists come preset to the instance's values.
scenario_dialog_reconfigure_cellap_instance() {
  instance_parameters CVLAN2 CardType=0 Diversity=1 InterruptNumber=5 IoBaseAddress=0x340 CellAP=1 \
    CellAP_BDelay=3 CellAP_Hop_Seq=7 CellAP_Id=0x2A PCCARDAttributeMemoryAddress=0xD0000 Net_Id=0x101
  dialog 99999 Enter
  expect_status 0
  expect_stdout $'0,0,5,992,832,851968,257,1,1,1,3,7,42,\n'
}
