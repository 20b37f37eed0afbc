// CV_UTIL with hostile command lines: long, empty, non-ASCII and huge-number
// arguments get the same answers as their ordinary forms, nothing more.
#include "run_program.h"
#include "temp_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

using cvtest::RunProgram;

class CvUtilHostileArgs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(cvtest::BinPath("cvsim").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsim is not built";
    ASSERT_EQ(RunProgram("cvsim", {"init", "--cellap"}).status, 0);
    ASSERT_EQ(RunProgram("cvsim", {"freeze"}).status, 0);
  }
  static std::string Util(const std::vector<std::string> &args) {
    cvtest::ProgramResult result = RunProgram("CV_UTIL", args, "", 20);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  }
  cvtest::TempMachine machine;
};

TEST_F(CvUtilHostileArgs, EveryFirstByteSelectsAFunctionOrTheUsage) {
  std::string usage = Util({"?"});
  ASSERT_EQ(usage.rfind("Corvane API Utility V3.00\n", 0), 0u);
  for (int byte = 1; byte < 256; ++byte) {
    char c = static_cast<char>(byte);
    bool known = std::string("ABDINWXYZabdinwxyz").find(c) != std::string::npos;
    if (known) continue; // those have their own tests
    EXPECT_EQ(Util({std::string(1, c) + "rest"}), usage) << byte;
  }
  EXPECT_EQ(Util({"\xC3\xA9"}), usage); // é in UTF-8
  EXPECT_EQ(Util({std::string(100000, 'Q')}), usage);
}

TEST_F(CvUtilHostileArgs, HugeNumbersAreCutTo32Bits) {
  EXPECT_EQ(Util({"N", std::string(100000, '7')}), "Net_ID set to 77777777\n");
  EXPECT_EQ(Util({"B", "123456789ABCDEF"}), "Preferred AP_ID Set to 89ABCDEF\n");
  EXPECT_EQ(Util({"X", "02", "0E", "5A", "01", "02", "FFFFFFFFFFFFFFFF3"}), "ACL updated\n");
  EXPECT_EQ(RunProgram("cvsim", {"acl"}).out, "02 0E 5A 01 02 F3\n");
}

TEST_F(CvUtilHostileArgs, EmptyAndNonHexParametersSendNothing) {
  EXPECT_EQ(Util({"N", ""}), "Invalid hex input: ");
  EXPECT_EQ(Util({"N", "\xC3\xA9"}), "Invalid hex input: \xC3\xA9");
  EXPECT_EQ(Util({"X", "02", "0E", "", "01", "02", "03"}), "Invalid hex input: ");
  EXPECT_EQ(Util({"Y", "02", "0E", "5A", "01", "02", std::string(5000, 'g')}),
            "Invalid hex input: " + std::string(5000, 'g'));
  EXPECT_EQ(RunProgram("cvsim", {"acl"}).out, "");
  // An empty letter argument is no letter: the usage text.
  EXPECT_EQ(Util({""}).rfind("Corvane API Utility V3.00\n", 0), 0u);
}

} // namespace
