// The files the program keeps for the user alone (the settings file, the dialogue
// trace) and those a lab may share (run records, reports), made with the same
// modes whatever the umask: another user on the machine can neither plant a
// symbolic link the program writes through, nor edit what decides which device it
// opens, nor change a record after the run.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

class QFileDevice;
class QString;

namespace t720 {

// The user's home: $HOME when it is an absolute path, else the one the password
// database gives for this uid; empty when there is none. Never a shared folder.
std::filesystem::path HomeDirectory();

// The program's per-user state folder (the dialogue trace, the fallback instance
// lock): $XDG_STATE_HOME/ZORTorT720, or <home>/.local/state/ZORTorT720; empty
// when the user has no home folder.
std::filesystem::path StateDirectory();

// Makes `dir` and the folders above it that are missing, each with `mode` at most
// (the umask may take more away, never add). "" when `dir` is a folder afterwards,
// else why not.
std::string MakeFolders(const std::filesystem::path& dir, mode_t mode);

// Opens the folder `dir` (made 0700 if missing) for the user's private files: a
// folder, not a symbolic link, of this user; one of ours that others may write is
// made 0700 first. The descriptor, or -1 with the reason in `why`.
int OpenPrivateFolder(const std::filesystem::path& dir, std::string& why);

// Opens `name` inside the folder `dirFd` with `flags` (O_CREAT makes it 0600),
// never through a symbolic link, and only a regular file of this user; one that
// others may read or write is made 0600. The descriptor, or -1 with `why`.
int OpenPrivateFile(int dirFd, const char* name, int flags, std::string& why);

// Makes the file at `path` 0600, and its folder 0700 when it is ours and others
// may write it. False when the file cannot be made 0600.
bool KeepPrivate(const QString& path);

// A copy of `from` as a new file `to`, 0600. False when `to` exists or the copy
// cannot be made whole (nothing is left behind then).
bool CopyPrivately(const QString& from, const QString& to);

// For what a lab shares (run records, reports): others may read it, never write
// it. MakeShareableFolder makes the missing folders rwxr-xr-x at most; false when
// `dir` is no folder afterwards. KeepShareable takes write access away from group
// and others on an open file (a QSaveFile before its commit, so the file never
// appears writable by them).
bool MakeShareableFolder(const QString& dir);
bool KeepShareable(QFileDevice& file);

}  // namespace t720
