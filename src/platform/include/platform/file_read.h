// Reading files: opening for binary reading, measuring, and the system's
// error codes and their message texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Opens an existing regular file for binary reading; the caller closes it
// with std::fclose. Never blocks: a folder, a FIFO or a device is refused.
// The stream is not inherited by child processes. Returns null on failure;
// LastErrorCode() then tells why.
std::FILE* OpenFileForReading(const char* path);

// As OpenFileForReading, but a link of the name is refused, never followed
// (a symbolic link; on Windows every reparse point): for files in a folder
// that others may write to, whose names anyone there could point elsewhere.
std::FILE* OpenRegularFileForReading(const char* path);

// Size in bytes of an open file; leaves the stream at its start. Returns -1
// when it cannot be measured or is 2 GiB or more (LastErrorCode() tells why).
int32_t FileStreamSize(std::FILE* stream);

// The system's last error code (GetLastError on Windows, errno elsewhere).
int LastErrorCode();
// Clears it, so that a failure that sets none reads as 0.
void ClearLastErrorCode();

// The system's message text for an error code, as the system writes it (line
// breaks included); empty when there is none or it does not fit in 100 characters.
std::string SystemErrorText(int code);

}  // namespace platform
