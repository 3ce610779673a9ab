// Counts of the runtime's objects that exist right now, kept by a member of
// each object so that tests can find objects nobody deleted.
#pragma once

#include <atomic>
#include <cstdint>

namespace fmwrapper {

enum class ObjectKind { Text, QuadChar, FixPt, Locale, Data, DataVect, ExprEnv, Count };

std::atomic<std::int64_t>& LiveCounter(ObjectKind kind);

// A member that counts its owner: one more while it exists, copies included.
template <ObjectKind Kind>
class LiveCount {
public:
    LiveCount() { LiveCounter(Kind).fetch_add(1, std::memory_order_relaxed); }
    LiveCount(const LiveCount&) : LiveCount() {}
    LiveCount& operator=(const LiveCount&) { return *this; }
    ~LiveCount() { LiveCounter(Kind).fetch_sub(1, std::memory_order_relaxed); }
};

}  // namespace fmwrapper
