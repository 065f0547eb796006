#pragma once

#include <atomic>
#include <mutex>

namespace MW::Common {

// One lazily created, process-wide instance of T, created with T's default
// constructor under a per-type lock and destroyed explicitly.
template <typename T> class CSingleton {
public:
    static T* getInstance() {
        T* instance = s_instance.load(std::memory_order_acquire);
        if (instance)
            return instance;
        std::lock_guard lock(s_mutex);
        instance = s_instance.load(std::memory_order_relaxed);
        if (!instance) {
            instance = new T();
            s_instance.store(instance, std::memory_order_release);
        }
        return instance;
    }

    static void destroyInstance() {
        if (!s_instance.load(std::memory_order_acquire))
            return;
        std::lock_guard lock(s_mutex);
        if (T* instance = s_instance.exchange(nullptr, std::memory_order_acq_rel))
            delete instance;
    }

protected:
    CSingleton() = default;
    ~CSingleton() = default;

private:
    static inline std::atomic<T*> s_instance{nullptr};
    static inline std::mutex s_mutex;
};

} // namespace MW::Common
