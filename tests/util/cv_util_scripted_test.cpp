// CV_UTIL in-process against a scripted driver, for answers that a well-behaved
// adapter never gives.
#include "cv_util.h"
#include "scripted_driver.h"
#include "temp_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cvtest::Bytes;
using cvtest::Reply;

class CvUtilScriptedTest : public ::testing::Test {
 protected:
  // Runs the program's main with these arguments after the program name.
  std::string Run(std::vector<std::string> args, int *status = nullptr) {
    args.insert(args.begin(), "CV_UTIL");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    int result = CvUtilMain(static_cast<int>(args.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    if (status) *status = result;
    return out;
  }

  cvtest::TempMachine machine;
  cvtest::ScriptedAdapter adapter{machine, {"cvlan1"}};
};

TEST_F(CvUtilScriptedTest, ListReportedWithMoreThan20EntriesIsAnError) {
  adapter->Answer(CVL_OID_ACL, Reply::Data(0, Bytes(120, 0x11)).BytesReturned(12 + 21 * 6));
  int status = -1;
  EXPECT_EQ(Run({"W"}, &status), "Error getting ACL\n");
  EXPECT_EQ(status, 0);
}

TEST_F(CvUtilScriptedTest, ListReadThatFailsWithANegativeResultPrintsNothing) {
  for (DWORD driverStatus : {4u, 5u}) {
    adapter->Answer(CVL_OID_ACL, Reply::Fail(driverStatus));
    EXPECT_EQ(Run({"W"}), "") << driverStatus;
  }
}

TEST_F(CvUtilScriptedTest, FirmwareTextsOutsideTheirAreaLeaveOutTheFirmwareLine) {
  adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, cvtest::Dword(0x7FFFFFF0)));
  adapter->AnswerAlways(OID_802_3_CURRENT_ADDRESS, Reply::Raw(0, {1, 2, 3, 4, 5, 6}));
  adapter->AnswerAlways(CVL_OID_STATUS, Reply::Data(0x13, {4}).Length(12 + 50));
  std::string out = Run({"A"});
  EXPECT_EQ(out.find("Firmware:"), std::string::npos);
  EXPECT_NE(out.find("IEEE Table: France\nIEEE Address: 01 02 03 04 05 06\n"), std::string::npos);
}

} // namespace
