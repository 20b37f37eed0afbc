// An open connection to a scripted adapter behind cvlan1, with the requests of
// the connection itself already cleared from the record.
#pragma once

#include "cvlapi.h"
#include "scripted_driver.h"
#include "temp_machine.h"

#include <gtest/gtest.h>

class AdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    api = CvlapiLocate();
    ASSERT_NE(api, nullptr);
    adapter->ClearRequests();
  }
  void TearDown() override { CvlapiClose(); }

  // The one request that the last call made.
  cvtest::Request OnlyRequest() {
    auto requests = adapter->requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? cvtest::Request() : requests.back();
  }

  cvtest::TempMachine machine;
  cvtest::ScriptedAdapter adapter{machine, {"cvlan1"}};
  CVLAPI_PROC api = nullptr;
};
