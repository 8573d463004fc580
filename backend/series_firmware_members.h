// The controller firmware members of SeriesBackend, included inside its
// class body: an image is checked against the controller (its header
// against the controller's architecture and bus, the driver and the
// running firmware) and downloaded in pieces under the controller lock.

// Firmware commands.
static constexpr uint8_t kDownloadOpcode = 0x56;
static constexpr int32_t kDownloadPieceSize = 8192;
// Controller answers to a download piece.
static constexpr int32_t kNextImageBufferExpected = 0x231;
static constexpr int32_t kImageChecksumError = 0x234;
// The SRLs an image may carry to suit this library, and the SRL from which
// an image needs a controller that knows its per-lane bus speed.
static constexpr uint16_t kLowestLibrarySrl = 24;
static constexpr uint16_t kHighestLibrarySrl = 29;
static constexpr uint16_t kBusSpeedSrl = 36;

// The image whose header the caller holds (in host order), against the
// controller: API error 102 when image_size differs from the header's
// size (the report untouched), else the report cleared and then 104 for
// another architecture or a bus without a known per-lane speed, 103 for a
// wrong magic; on success the report filled. image_data is not read.
int check_firmware_image(ObjectId id, const FirmwareImageHeader* header, int32_t image_size,
                         const void* image_data, FirmwareCompatReport* report) const;
// The same for an image file; the header is read from the file and the
// file's size must be the header's (API error 102 otherwise, and for a file
// shorter than a header). unused is not read.
int check_firmware_image_file(ObjectId id, const char* path, const void* unused,
                              FirmwareCompatReport* report) const;
// Prints on standard output what the header (in host order) at the start
// of the size bytes of image says against the controller and the driver. 0
// when both could be asked; nothing of its own is recorded, but for an
// image too short to hold a header (API error 102).
int check_firmware_image_header(ObjectId id, const void* image, uint32_t size) const;
// Sends size bytes of image in pieces; a checksum error reported by the
// controller restarts the download once. A size of 0 or less is refused
// (API error 102) before anything is sent.
int download_firmware(ObjectId id, const void* image, int32_t size) const;

// The steps.
static int read_image_header(const char* path, FirmwareImageHeader* header);
static int check_image_file_size(const FirmwareImageHeader& header, const char* path);
int check_image_architecture(ObjectId id, const FirmwareImageHeader& header) const;
static int check_image_magic(const FirmwareImageHeader& header);
int download_firmware_once(ObjectId id, const void* image, int32_t size) const;
