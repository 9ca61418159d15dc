// The simulator's few operating-system services: a listening socket, its
// connections, sleeping, files and folders, and ending the process. One
// implementation per platform (os_posix.cpp, os_win32.cpp), chosen by CMake.
#pragma once

#include <cstdint>
#include <string>

namespace simos {

// A socket handle; kNoSocket when there is none.
using Socket = std::uintptr_t;
constexpr Socket kNoSocket = ~static_cast<Socket>(0);

// The separator between folder and file names on this platform.
extern const char kPathSeparator;

// Starts the socket library where the platform needs that; false on failure.
bool StartNetwork();

// Opens a non-blocking listening socket on the dotted IPv4 `address` and
// `port`. kNoSocket on failure, with the platform's error code in `error`.
Socket Listen(const std::string& address, int port, int* error);

// The next connection waiting on `listener`, made non-blocking, or kNoSocket
// when none is waiting.
Socket AcceptNext(Socket listener);

// Sends all of `bytes`, waiting up to about two seconds for a full send
// buffer; false when the connection failed or stayed full.
bool SendAll(Socket connection, const std::string& bytes);

// True when the peer has closed `connection` or it failed. Anything the peer
// sent is read and dropped: the supervisor never sends.
bool PeerGone(Socket connection);

void CloseSocket(Socket socket);

void SleepMs(int milliseconds);

// Creates the folder and any missing parents; true if it exists afterwards.
bool MakeFolders(const std::string& path);

// Replaces the file's content with `bytes`; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Appends `text` to the file, creating it; false on failure.
bool AppendToFile(const std::string& path, const std::string& text);

bool PathExists(const std::string& path);

int ProcessId();

// Ends the process at once with `code`.
[[noreturn]] void EndProcess(int code);

}  // namespace simos
