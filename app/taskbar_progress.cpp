#include "app/taskbar_progress.h"

TaskbarProgress::~TaskbarProgress() { Release(); }

// The same number for every call in a session.
UINT TaskbarProgress::ButtonCreatedMessage() { return RegisterWindowMessageW(L"TaskbarButtonCreated"); }

void TaskbarProgress::Attach(HWND window) {
  Release();
  void* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &taskbar))) return;
  taskbar_ = static_cast<ITaskbarList3*>(taskbar);
  if (FAILED(taskbar_->HrInit())) {
    Release();
    return;
  }
  window_ = window;
}

void TaskbarProgress::Release() {
  if (taskbar_ != nullptr) taskbar_->Release();
  taskbar_ = nullptr;
}

// Results ignored below: a button without progress is all a failure costs.
void TaskbarProgress::Waiting() {
  if (taskbar_ != nullptr) (void)taskbar_->SetProgressState(window_, TBPF_INDETERMINATE);
}

void TaskbarProgress::Show(uint32_t done, uint32_t total) {
  if (taskbar_ == nullptr || total == 0) return;
  (void)taskbar_->SetProgressState(window_, TBPF_NORMAL);
  (void)taskbar_->SetProgressValue(window_, done, total);
}

void TaskbarProgress::Failed() {
  if (taskbar_ == nullptr) return;
  (void)taskbar_->SetProgressValue(window_, 1, 1);
  (void)taskbar_->SetProgressState(window_, TBPF_ERROR);
}

void TaskbarProgress::Clear() {
  if (taskbar_ != nullptr) (void)taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
}
