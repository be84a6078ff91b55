#include "app/state_reader.h"

#include <system_error>
#include <utility>

#include "patch/file_workers.h"

StateReader::~StateReader() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void StateReader::Start(HWND window, patch::GameStateSources sources) {
  window_ = window;
  wanted_ = true;
  if (thread_.joinable()) {  // a stopped read is ending: this one follows it
    stop_ = true;
    pending_ = std::move(sources);
    return;
  }
  Launch(std::move(sources));
}

void StateReader::Stop() {
  stop_ = true;
  pending_.reset();
  wanted_ = false;
}

std::optional<patch::GameState> StateReader::Finished() {
  if (!thread_.joinable()) return std::nullopt;
  thread_.join();
  std::optional<patch::GameState> read = std::exchange(result_, std::nullopt);
  if (pending_) {
    Launch(*std::exchange(pending_, std::nullopt));
    return std::nullopt;
  }
  if (!wanted_) return std::nullopt;
  wanted_ = false;
  return read;
}

void StateReader::Launch(patch::GameStateSources sources) {
  stop_ = false;
  result_.reset();
  sources.workers = patch::DefaultWorkerCount();
  const HWND window = window_;
  try {
    thread_ = std::thread([this, window, sources = std::move(sources)] {
      result_ = patch::ReadGameState(sources, stop_);
      // The dialog joins this thread only on this message: it must arrive. A full queue empties
      // as the dialog's thread reads it; a window that is gone wants nothing.
      while (!PostMessageW(window, WM_STATE_READ, 0, 0) && IsWindow(window)) Sleep(10);
    });
  } catch (const std::system_error&) {
    wanted_ = false;  // no thread to be had: the line shows nothing rather than a wrong state
  }
}
