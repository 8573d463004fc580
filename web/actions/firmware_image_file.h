// The temporary file that holds an uploaded controller firmware image
// between its check and the update: "<image directory>/c<position>-<peer>.tmp",
// named after the controller's position in the controller list and the
// requester's address. It is created afresh for each upload, readable by
// root alone, and emptied, overwritten and removed once the update is done,
// cancelled or refused.
#pragma once

class ByteBuffer;

constexpr int kFirmwarePathSize = 100;

// Formats the path into out. False, and out empty, when the path would not
// fit (99 characters), the position is negative or the peer text holds
// anything but letters, digits, '.', ':' and '-' (an address as the
// connection gives it).
bool format_firmware_temp_path(const char* image_dir, int position, const char* peer,
                               char (&out)[kFirmwarePathSize]);

// Stores the upload at path: a file there before (a symbolic link
// included) is removed, then the image is written to a temporary file
// beside the path (mode 0600 whatever the umask), synced and renamed to the
// path, never through a link, and the directory synced. Returns true when
// the whole image is in the file, on the disk; on any failure nothing is
// left at path. A process killed on the way
// leaves nothing at path or the whole image, and at most a temporary file,
// which remove_stale_firmware_temps removes.
[[nodiscard]] bool store_firmware_upload(const char* path, const ByteBuffer& upload);

// Removes from the image directory the temporary files of uploads whose
// storing was interrupted (at start, before any request is served).
// Returns how many were removed.
int remove_stale_firmware_temps(const char* image_dir);

// Empties the file at path, overwrites it with 100 zero bytes (a regular
// file with no other name only; a link is not followed) and removes path.
// Removing what is not there is no error.
void delete_firmware_temp_file(const char* path);
