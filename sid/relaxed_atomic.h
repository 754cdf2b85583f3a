// SPDX-License-Identifier: GPL-2.0-or-later
// A value that several threads read and write without a lock: each access is
// a relaxed atomic load or store, so a reader sees some value that was
// written, never a torn one, and the program has no data race. Nothing is
// ordered by it; where the order of two values matters, the code that shares
// them says how it is kept.
#pragma once

#include <atomic>

namespace chipbox {

template <class T>
class RelaxedAtomic {
public:
    constexpr RelaxedAtomic(T value = T{}) : value_(value) {}
    RelaxedAtomic(const RelaxedAtomic& other) : value_(other.load()) {}
    RelaxedAtomic& operator=(const RelaxedAtomic& other) {
        store(other.load());
        return *this;
    }
    RelaxedAtomic& operator=(T value) {
        store(value);
        return *this;
    }
    operator T() const { return load(); }

    T load() const { return value_.load(std::memory_order_relaxed); }
    void store(T value) { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};

}  // namespace chipbox
