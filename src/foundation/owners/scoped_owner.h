#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

// Owns one value of a resource and frees it on every way out. The resource is described by a
// traits struct:
//
//   struct Traits {
//     using Type = HANDLE;
//     static Type InvalidValue();      // what an empty owner holds
//     static void Free(Type value);    // called only for values that count as held
//     static bool IsValid(Type value); // optional; without it, anything but InvalidValue() counts
//   };
//
// A value that does not count as held is stored as InvalidValue(), so one check tells whether
// anything is held. Freeing keeps the thread's last error: an owner that goes out of scope (or is
// reset) between a failed call and the caller's GetLastError must not change the answer.
template <typename Traits>
class ScopedOwner {
 public:
  using Type = typename Traits::Type;

  ScopedOwner() = default;
  // Adopts a value the caller owns.
  explicit ScopedOwner(Type value) : value_(normalized(value)) {}
  ~ScopedOwner() { freeKeepingLastError(value_); }

  ScopedOwner(ScopedOwner&& other) noexcept : value_(other.release()) {}
  ScopedOwner& operator=(ScopedOwner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedOwner(const ScopedOwner&) = delete;
  ScopedOwner& operator=(const ScopedOwner&) = delete;

  explicit operator bool() const { return isValid(value_); }
  Type get() const { return value_; }

  // Frees what is held and adopts `value`; adopting the value already held keeps it.
  void reset(Type value = Traits::InvalidValue()) {
    const Type old = std::exchange(value_, normalized(value));
    if (old != value_) freeKeepingLastError(old);
  }
  // Hands the value to the caller, who then frees it.
  Type release() { return std::exchange(value_, Traits::InvalidValue()); }
  // Frees what is held and hands out the slot for a call that returns a new value through it.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  template <typename T, typename = void>
  struct HasIsValid : std::false_type {};
  template <typename T>
  struct HasIsValid<T, std::void_t<decltype(T::IsValid(T::InvalidValue()))>> : std::true_type {};

  static bool isValid(Type value) {
    if constexpr (HasIsValid<Traits>::value) {
      return Traits::IsValid(value);
    } else {
      return value != Traits::InvalidValue();
    }
  }
  static Type normalized(Type value) { return isValid(value) ? value : Traits::InvalidValue(); }
  static void freeKeepingLastError(Type value) {
    if (!isValid(value)) return;
    const DWORD error = GetLastError();
    Traits::Free(value);
    SetLastError(error);
  }

  Type value_ = Traits::InvalidValue();
};
