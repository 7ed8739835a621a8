#pragma once
// A Windows critical section (spin count 0) whose creation may fail; the module
// refuses to load when one of its locks could not be created. Meets the
// Lockable requirements, so std::lock_guard works with it.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

namespace tyvarion::module {

class CriticalSection {
public:
    CriticalSection() noexcept : created_(InitializeCriticalSectionEx(&section_, 0, 0) != FALSE) {}
    ~CriticalSection() {
        if (created_) DeleteCriticalSection(&section_);
    }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    bool created() const noexcept { return created_; }
    void lock() noexcept { EnterCriticalSection(&section_); }
    void unlock() noexcept { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_{};
    bool created_;
};

}  // namespace tyvarion::module
