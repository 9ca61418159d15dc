// What a configuration check asks of the file system about folders: whether
// one exists and whether a file can be made in it, whether two paths name one
// file, where a service runs, and the absolute form of a path given on a
// command line.
#pragma once

#include <string>

namespace platform {

// `path` made absolute against the current folder (Win32: GetFullPathName,
// which also turns "/" into "\"); nothing else is changed. An empty path, or
// one the system cannot complete, is returned as it was.
std::string AbsolutePath(const std::string& path);

// True when `folder` (with or without its ending separator) is an existing
// folder; false for a file, a missing path and an empty text.
bool FolderExists(const std::string& folder);

// True when a new file can be created in `folder` by this process: a file of
// a name no one else uses is created and removed again. False when the
// folder is missing or the creation fails.
bool FolderWritable(const std::string& folder);

// True when `a` and `b` name one existing file or folder, also through
// links (POSIX: device and inode; Win32: volume and file index). False when
// either cannot be opened.
bool SameFile(const std::string& a, const std::string& b);

// The current folder of the daemon in `daemonFolder` when it runs as a
// service, with its separator, and in `*why` (if given) what makes it that
// one. Win32: the system folder, where the service control manager starts
// services. POSIX: `daemonFolder`, which the systemd unit sets as its
// WorkingDirectory (without one, systemd starts a service in "/").
std::string ServiceCurrentFolder(const std::string& daemonFolder, std::string* why);

}  // namespace platform
