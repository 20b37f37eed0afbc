// Which front end shows the windows: a test's automation session while one
// lives, else the terminal.
#include "window_manager.h"

namespace winapi {
namespace {

FrontEnd *automationFrontEnd = nullptr;

} // namespace

void SetAutomationFrontEnd(FrontEnd *frontEnd) { automationFrontEnd = frontEnd; }

FrontEnd &CurrentFrontEnd() { return automationFrontEnd ? *automationFrontEnd : TerminalFrontEnd(); }

} // namespace winapi
