// The temporary files of whole-file rewrites: a file is written to a new
// file beside it, named after it with ".tmp-" and six random characters, and
// renamed over it, so a crash leaves the old file or the new one, never a
// part of one. What a crash leaves is a temporary file; the daemon removes
// those at start.
#pragma once

class StringBuilder;

// Creates the temporary file for path with mode 0600, whatever the umask,
// and puts its name into tmp_path. Returns its descriptor, or -1.
[[nodiscard]] int create_temp_beside(const char* path, StringBuilder& tmp_path);

// What replace_file_contents returns.
enum : int {
    kReplaced = 0,
    kReplaceNoTemp = 1,      // the temporary file could not be created
    kReplaceFailed = 2,      // writing, syncing or renaming failed: the old file is as it was
    kReplaceDirUnsynced = 3  // the new file is in place, but its directory could not be synced
};

// Replaces the file at path by one holding the length bytes of data: they
// are written to a temporary file beside it (mode 0600) and renamed over it,
// so a process killed at any point leaves the old file or the new one. With
// sync the new file reaches the disk before the rename and the directory
// (which holds the rename) after it, so the new file also outlives a power
// failure, at the cost of two waits for the disk. Returns one of the codes
// above.
[[nodiscard]] int replace_file_contents(const char* path, const void* data, long length, bool sync);

// Syncs the directory that holds path, so that a file renamed or created
// there stays after a power failure: 0, or -1.
[[nodiscard]] int sync_directory_of(const char* path);

// Removes the temporary files of path (regular files only) that an
// interrupted rewrite left behind. Returns how many were removed.
int remove_stale_temps(const char* path);

// Removes the temporary files that interrupted rewrites left in the
// directory of every file whose name ends with ending (regular files
// only). Returns how many were removed.
int remove_stale_temps_ending(const char* dir, const char* ending);
