#pragma once
// The thread that reads which version the game's files hold, so that the dialog's thread never
// reads a file. The dialog owns it: it asks for a read when a game directory is applied and
// after every action, stops it when a press begins, and learns of the result only from
// WM_STATE_READ, on which it joins the thread (which has posted its last message). The
// destructor stops and joins a read still under way. One read at a time: a read asked for while
// a stopped one is ending starts when that one has ended.
#include <windows.h>

#include <atomic>
#include <optional>
#include <thread>

#include "patch/game_state.h"

inline constexpr UINT WM_STATE_READ = WM_APP + 4;  // the reader's thread has ended

class StateReader {
 public:
  StateReader() = default;
  ~StateReader();
  StateReader(const StateReader&) = delete;
  StateReader& operator=(const StateReader&) = delete;

  // Reads the game at `sources` on a new thread; its end is posted to window.
  void Start(HWND window, patch::GameStateSources sources);
  // Drops the read under way, and one asked for after it, without waiting for either: its
  // thread stops at the next file or piece of a file.
  void Stop();
  // True from Start until the result is taken, unless stopped.
  bool Reading() const { return wanted_; }
  // On WM_STATE_READ: joins the ended thread; the state it read unless it was stopped or could
  // not read; starts a read asked for meanwhile.
  std::optional<patch::GameState> Finished();

 private:
  void Launch(patch::GameStateSources sources);

  HWND window_ = nullptr;
  // Set by the dialog's thread, read by the reader's between files and pieces.
  std::atomic<bool> stop_{false};
  // Written by the reader's thread before it posts WM_STATE_READ, read after the join.
  std::optional<patch::GameState> result_;
  std::optional<patch::GameStateSources> pending_;
  bool wanted_ = false;
  std::thread thread_;
};
