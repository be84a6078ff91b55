#pragma once
// One move-only owner for OS resources. Traits give the invalid value and the close call:
//   struct Traits { using Value = ...; static Value Invalid() noexcept; static void Close(Value) noexcept; };
#include <utility>

namespace platform {

template <typename Traits>
class UniqueResource {
 public:
  using Value = typename Traits::Value;

  UniqueResource() noexcept : value_(Traits::Invalid()) {}
  explicit UniqueResource(Value value) noexcept : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Value get() const noexcept { return value_; }
  bool valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  Value release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  // Traits::Close must keep the thread's last error intact, so a caller can still read why
  // the operation before the close failed.
  void reset(Value value = Traits::Invalid()) noexcept {
    Value old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Value value_;
};

}  // namespace platform
