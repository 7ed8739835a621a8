#pragma once
// What the experimenter is told when the recording file cannot be written:
// the reason the system gave, and the account of an incomplete file.

#include <cstdint>

#include "platform/text.h"

namespace tyvarion {

namespace writeFailureReasons {

inline constexpr const OLECHAR* kDiskFull = OLESTR("the disk is full");
inline constexpr const OLECHAR* kFileTooLarge = OLESTR("the file has reached the largest size allowed");
inline constexpr const OLECHAR* kQuotaExceeded = OLESTR("the disk quota is exceeded");
inline constexpr const OLECHAR* kDriveGone = OLESTR("the drive or network share is no longer there");

// The system's own text as part of a sentence: without its line end and full
// stop, its first letter lowered unless the word is all capitals ("I/O"
// stays); "system error 5" when the system has no text.
olestring tidy(olestring text, std::uint32_t error);

}  // namespace writeFailureReasons

// "failed to write the recording file: the disk is full"
olestring writeFailedMessage(const olestring& reason);

// "the recording file is incomplete: 12 lines could not be written (the disk
// is full)"; when the file could not be cut back to its last whole line,
// "; its last line is cut off" follows.
olestring incompleteFileMessage(std::uint64_t lines, const olestring& reason, bool endsWithWholeLine);

// Decimal digits, written by hand: std::to_wstring brings in wide printf
// functions that Windows 7's msvcrt.dll lacks.
olestring decimalText(std::uint64_t value);

}  // namespace tyvarion
