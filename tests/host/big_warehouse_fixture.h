// BigWarehouseTest: the screen opened on a warehouse of 5,000 fact tables
// (FATO_X_00001 to FATO_X_05000, besides the demo's) and 500 drill tables
// (DRILL_X_001 to DRILL_X_500), written straight into a SQLite database in
// one transaction and served in-process once for the whole suite. The last
// 30 fact tables have facts (VL_01 to VL_05, drilling into DRILL_X_<n>) and
// two dimensions each. The server's calls are counted by method.
#pragma once

#include <memory>
#include <string>

#include "host_screen_fixture.h"

namespace qmxtest {
class TestDatabase;
}

namespace host_test {

class BigWarehouseTest : public HostScreenTest {
 public:
  static constexpr int kFactTables = 5000, kDrillTables = 500;

 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // Opens the screen on the big warehouse; its form in form_.
  void OpenScreen();

  // FATO_X_<number> as 5 digits; the drill table its facts drill into.
  static std::string FactTable(int number);
  static std::string DrillOf(int number);
  // Calls of `method` the server answered since the last ResetCalls.
  static int Calls(const std::string& method);
  static void ResetCalls();

 private:
  struct Served;
  static std::unique_ptr<Served> served_;
};

}  // namespace host_test
