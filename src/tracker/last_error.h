#pragma once
// The object's last error message. The host's thread sets it with its
// refusals; the writer thread sets it when the recording file cannot be
// written. Its lock is taken last and held for the copy alone.

#include <mutex>

#include "platform/text.h"

namespace tyvarion {

class LastError {
public:
    LastError& operator=(const OLECHAR* text) {
        set(olestring(text));
        return *this;
    }
    void set(olestring text) noexcept {
        std::lock_guard lock(mutex_);
        text_.swap(text);
    }
    olestring text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    olestring text_;
};

}  // namespace tyvarion
