// The temporary files of whole-file rewrites: a file is written to a new
// file beside it, named after it with ".tmp-" and six random characters, and
// renamed over it, so a crash leaves the old file or the new one, never a
// part of one. What a crash leaves is a temporary file; the daemon removes
// those at start.
#pragma once

class StringBuilder;

// Creates the temporary file for path with mode 0600, whatever the umask,
// and puts its name into tmp_path. Returns its descriptor, or -1.
int create_temp_beside(const char* path, StringBuilder& tmp_path);

// Replaces the file at path by one holding the length bytes of data: they
// are written to a temporary file beside it (mode 0600) and renamed over it,
// so a process killed at any point leaves the old file or the new one. With
// sync the new file also reaches the disk before the rename (it then
// outlives a power failure too, at the cost of a wait for the disk). Returns
// 0; 1 when the temporary file could not be created, 2 when writing,
// syncing or renaming failed (the old file is then as it was).
int replace_file_contents(const char* path, const void* data, long length, bool sync);

// Removes the temporary files of path (regular files only) that an
// interrupted rewrite left behind. Returns how many were removed.
int remove_stale_temps(const char* path);

// Removes the temporary files that interrupted rewrites left in the
// directory of every file whose name ends with ending (regular files
// only). Returns how many were removed.
int remove_stale_temps_ending(const char* dir, const char* ending);
