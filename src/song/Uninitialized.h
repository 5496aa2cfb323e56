#pragma once

#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace lw {

// An allocator whose containers leave their new values uninitialised unless a value is
// given: `UninitializedVector<T> v(n)` and `v.resize(n)` cost no zero-filling, for buffers that a
// read or a computation fills at once. `UninitializedVector<T> v(n, 0)` still gives zeros.
template <class T> class DefaultInitAllocator : public std::allocator<T> {
public:
  template <class U> struct rebind { using other = DefaultInitAllocator<U>; };

  DefaultInitAllocator() noexcept = default;
  template <class U>
  explicit DefaultInitAllocator(const DefaultInitAllocator<U>& /*other*/) noexcept {}

  template <class U> void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(at)) U;
  }
  template <class U, class... Args> void construct(U* at, Args&&... args) {
    std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), at,
                                                        std::forward<Args>(args)...);
  }
};

template <class T> using UninitializedVector = std::vector<T, DefaultInitAllocator<T>>;

} // namespace lw
