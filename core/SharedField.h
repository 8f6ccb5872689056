#pragma once

#include <atomic>

// A field that the transfer worker writes while the window's timer reads it. Row records are
// copied whole when rows move, so the atomic gets copy operations that load and store.
template <class T> class Shared {
public:
    Shared(T value = T{}) : value_(value) {}
    Shared(const Shared& other) : value_(other.load()) {}
    Shared& operator=(const Shared& other) {
        store(other.load());
        return *this;
    }
    Shared& operator=(T value) {
        store(value);
        return *this;
    }
    operator T() const { return load(); }
    T load() const { return value_.load(std::memory_order_acquire); }
    void store(T value) { value_.store(value, std::memory_order_release); }
    T fetchAdd(T delta) { return value_.fetch_add(delta, std::memory_order_acq_rel); }

private:
    std::atomic<T> value_;
};
