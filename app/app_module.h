#pragma once
// The application module: the process instance that dialogs and resources are loaded from.
#include <windows.h>

class CAppModule {
 public:
  void Init(HINSTANCE instance) { instance_ = instance; }
  void Term() { instance_ = nullptr; }
  HINSTANCE GetResourceInstance() const { return instance_; }

 private:
  HINSTANCE instance_ = nullptr;
};
