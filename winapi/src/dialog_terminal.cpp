// The terminal front end of windows and dialogs.
#include "window_manager.h"

namespace winapi {
namespace {

// Until the dialog is drawn on the terminal, no window can be shown there.
class NoTerminal : public FrontEnd {
 public:
  bool Available() override { return false; }
  CellSize ScreenSize() override { return CellSize{}; }
  bool WaitForInput() override { return false; }
  void Beep() override {}
  void HelpRequested(const std::string&, UINT) override {}
};

}  // namespace

FrontEnd& TerminalFrontEnd() {
  static NoTerminal frontEnd;
  return frontEnd;
}

}  // namespace winapi
