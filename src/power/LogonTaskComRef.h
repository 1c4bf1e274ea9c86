// Owns one reference to a Task Scheduler interface and gives it back when it goes out of scope,
// so every exit of a COM sequence releases what it obtained.
#pragma once

namespace velmora {

template <class Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  // For an out parameter: releases what is held and lets the call fill the pointer.
  Interface** Out() {
    Reset();
    return &pointer_;
  }
  Interface* Get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    Interface* held = pointer_;
    pointer_ = nullptr;
    if (held != nullptr) held->Release();
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace velmora
