// File operations that the settings-file and installation code share: deleting and copying
// files whatever their attributes, comparing files by last-write time, installing a file from
// the driver folder, extension tests, and opening the settings folders to every user.
// Every operation answers FALSE (0) on failure and leaves the file system as far as it got.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Sets the file's attributes to normal, then deletes it. FALSE when the attributes cannot be set.
BOOL FsDeleteFile(const WCHAR* path);
// Deletes every file that `pattern` ("C:\x\*.tmp") matches, attributes made normal first.
// TRUE when any file was deleted.
BOOL FsDeleteMatching(const WCHAR* pattern);
// CopyFileW with the caller's `failIfExists`, then the copy's attributes set to normal.
BOOL FsCopyFile(const WCHAR* source, const WCHAR* target, BOOL failIfExists);
// Removes the read-only attribute when it is set.
BOOL FsClearReadOnly(const WCHAR* path);

// How FsCompareFileTime compares the last-write times of its first and second file.
constexpr DWORD kFsTimesEqual = 0;         // TRUE when they are equal
constexpr DWORD kFsSecondNotOlder = 1;     // TRUE when the second is not older than the first
// Opens both files without access rights, shared for reading; FALSE when either cannot be opened.
BOOL FsCompareFileTime(const WCHAR* first, const WCHAR* second, DWORD mode);

// Creates a folder; one that exists already counts as success (a file of that name does not).
BOOL FsCreateFolder(const WCHAR* path);

// FsInstallFile modes: kFsInstallIfMissing copies only when the target is missing; any other
// mode copies when the target is missing or older than the source.
constexpr DWORD kFsInstallIfMissing = 1;
// Installs `source` (a name with a drive letter as given, else in the context's driver folder)
// as `target` (a name with a drive letter as given, else in the system folder). The same path,
// and a target left as it is, answer TRUE; a missing source answers FALSE. A replaced target
// is written beside itself and renamed over the old one, so a failed copy keeps the old file.
BOOL FsInstallFile(DriverContext* context, const WCHAR* source, const WCHAR* target, DWORD mode);

// The length of `name` without its extension (and the '.'); the extension's length into
// *extensionLength (0 without one). Only the file name's last '.' counts.
DWORD FsSplitExtension(const WCHAR* name, DWORD* extensionLength);
// Whether the name has an extension of 1 to 3 characters.
BOOL FsHasShortExtension(const WCHAR* name);

// The access every user gets to the settings folders, with inheritance to files and subfolders.
constexpr ACCESS_MASK kFsOpenAccess = 0x1F01FF;
// Sets the DACL of `path` to one entry allowing Everyone kFsOpenAccess, inherited by files and
// subfolders; with `recursive` the same for everything below a folder.
BOOL FsSetOpenSecurity(const WCHAR* path, BOOL recursive);
// Sets the owner of `path` (with `recursive`, of everything below it too) to the local
// Administrators group.
BOOL FsSetAdminOwner(const WCHAR* path, BOOL recursive);

// Writes an INI key (as IniProfileWriteString) and puts the file's last-write time back.
BOOL FsWriteIniKeepTime(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* file);

// Opens the settings folders to every user: on NT 5 and later the shared settings folder and
// everything in it; before, the per-user settings folders ("quirn" in the system folder).
BOOL InstSecurePrinterFolders(DriverContext* context);
// Creates the shared settings folder, marks it hidden, and sets the Administrators owner and
// the open security on the folder alone.
BOOL FsCreateSharedFolder();

// Whether the file can be opened for reading (a folder answers FALSE).
BOOL FsFileExists(const WCHAR* path);
