// A program in a detached tmux session of 80 x 25 cells on a private server:
// keys sent to it, its screen read back row by row.
#pragma once

#include <string>
#include <vector>

namespace cvtest {

class TmuxSession {
 public:
  TmuxSession();
  ~TmuxSession();
  TmuxSession(const TmuxSession &) = delete;
  TmuxSession &operator=(const TmuxSession &) = delete;

  static bool Available();
  // Runs the shell command in the session's one pane.
  void Start(const std::string &command);
  // tmux key names: "NPage", "Escape", "q", "Right", "F1".
  void Keys(const std::string &keys);
  // The 25 rows, each 80 characters (UTF-8), blanks kept.
  std::vector<std::string> Screen();
  // The rows as tmux keeps them, with the escape sequences of their attributes.
  std::vector<std::string> ScreenWithAttributes();
  // Resizes the session's window, as a user resizes the terminal.
  void Resize(int columns, int rows);
  int CursorX();
  int CursorY();
  // The process id of the pane's shell.
  int PanePid();
  // Ends the session and its server; Start() may begin another.
  void Stop();
  // Polls the screen until check() holds or the time is up; true when it held.
  template <class Check>
  bool WaitFor(Check check, int timeoutMs = 5000);

 private:
  std::string Tmux(const std::string &arguments);
  bool Sleep100();
  std::string socket_;
};

template <class Check>
bool TmuxSession::WaitFor(Check check, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (check(Screen())) return true;
    Sleep100();
  }
  return false;
}

} // namespace cvtest
