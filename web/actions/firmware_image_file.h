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
// included) is removed, then the file is created anew, never through a
// link, with mode 0600 whatever the umask, and every byte written. Returns
// true when the whole image is in the file and the file is closed; on any
// failure nothing is left at path.
bool store_firmware_upload(const char* path, const ByteBuffer& upload);

// Empties the file at path, overwrites it with 100 zero bytes (a regular
// file with no other name only; a link is not followed) and removes path.
// Removing what is not there is no error.
void delete_firmware_temp_file(const char* path);
