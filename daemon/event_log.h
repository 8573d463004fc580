// The event files of each controller, both newest first: the binary event
// file of 149-byte records that the alarms pages read, and the text event
// file of one line per event. The monitor puts each new event at the head
// of both; an event equal to one at the head, or older than the newest, is
// refused, so events read again (after a restart of the daemon) are stored
// once. A monitor pass reads a controller's files once, puts the events it
// read first in them in memory, one after the other, and writes each file
// that took an event once: the whole file to a new file, synced, renamed
// over the old one, and the directory synced, so a crash never leaves a
// part of a file and the events of a finished write outlive a power
// failure. One lock orders the monitor's rewrites and the alarms page's
// clearing of the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "api/ctl_types.h"
#include "daemon/byte_buffer.h"

class StringBuilder;

// Families 3 and lower are the first series: the texts of their event
// codes are of catalogue category 15, and their event times (the host's
// time of reading) are shown as local time; later families' as UTC.
constexpr int kLastFirstSeriesFamily = 3;
inline bool event_times_in_utc(int family) { return family > kLastFirstSeriesFamily; }
// Severity of events kept in the binary event file only.
constexpr uint8_t kSeverityBinaryOnly = 4;

// --- The binary event file.
constexpr int kAenRecordSize = 149;
constexpr int kAenTextAreaSize = 128;
// Records kept behind the new one and the run of records of its time.
constexpr int kAenKeptRecords = 1000;

// One record: integers little-endian, no padding, the text area holding the
// parameter text, a NUL and the message text, zeros after them.
struct AenRecord {
    uint32_t controller_index;
    uint64_t time;  // seconds since 1970
    uint8_t severity;
    uint32_t category;  // the catalogue category of the code's text: 15 or 4
    uint32_t code;
    uint8_t text[kAenTextAreaSize];
};

void encode_aen_record(const AenRecord& record, uint8_t* out);
void decode_aen_record(const uint8_t* in, AenRecord* record);

// The parameter text of a record (up to the text area's first NUL) into
// parameter, and its message text (what follows that NUL) into message;
// both of 129 bytes. Returns true when the record holds a message: the
// parameter and its NUL end within 127 bytes and a text follows them.
bool aen_record_texts(const AenRecord& record, char* parameter, char* message);

// The record of an event read from a controller (its parameter length
// clamped to what the parameter field holds): the category by the family
// (15 for 3 and lower), the parameter text cut to 127 bytes, the message cut
// to what is left of the area. message_length gets the bytes of the message
// copied behind the parameter's NUL.
void build_aen_record(int controller_index, const EventRecord& event, int family, AenRecord* record,
                      int* message_length);

// The binary file's new content: the new record, then the old records (old
// holds old_length bytes of the file; a trailing partial record is
// dropped). 0 with out filled; 1 when the event is refused: equal to a
// record of its time at the head of the file (code, severity and message),
// or older than the file's newest record.
int merge_aen_records(const uint8_t* old, size_t old_length, const AenRecord& record,
                      int message_length, ByteBuffer& out);

// --- The text event file.
// Characters of the message kept in a line, and the piece of a line that
// counts as one against the lines kept.
constexpr int kAenLineMessage = 127;
constexpr int kAenLinePiece = 127;

// "YYYYMMDDhhmmss SEVERITY message\n": the time as UTC for families above 3
// and as local time for the first series, the severity word, the message cut
// to 127 bytes with each carriage return or line feed written as a blank.
void format_aen_line(const EventRecord& event, int family, StringBuilder& line);

// The text file's new content: the new line, then the old lines. 0 with out
// filled; 1 when refused: the line is at the head among the lines of its
// time already, or the newest line is later. Old lines are kept whole while
// fewer than 1000 pieces of 127 characters are counted; a first line shorter
// than 10 characters is no event line to compare with, and the old lines
// are kept behind the new one.
int merge_aen_lines(const char* old, size_t old_length, const char* line, StringBuilder& out);

// --- The files.
// "<dir>/wox_aen_<serial><suffix>", the suffix ".bin" or ".txt". Characters
// of the serial number other than letters, digits, '.', '_' and '-', and a
// leading '.', are written as '_', so the name never leaves the directory.
void event_file_path(const char* dir, const char* serial, const char* suffix, StringBuilder& path);

// The lock of every rewrite of an event file.
std::mutex& event_file_lock();

// A controller's two event files while a monitor pass puts events into
// them: their contents, and whether an event went into each.
struct EventFiles {
    ByteBuffer binary;
    ByteBuffer text;
    bool binary_changed = false;
    bool text_changed = false;
};

// Reads both event files of a controller from dir (a file that cannot be
// read counts as empty). The caller holds event_file_lock() from here to
// write_event_files.
void read_event_files(const char* dir, const char* serial, EventFiles& files);

// Puts an event first in the binary file's content: 0 done; 1 refused (the
// content is left alone).
[[nodiscard]] int append_aen_binary_log(EventFiles& files, int controller_index,
                                        const EventRecord& event, int family);
// Puts an event first in the text file's content: 0 done; 1 refused.
[[nodiscard]] int append_aen_text_log(EventFiles& files, const EventRecord& event, int family);

// What write_event_files returns: 0, or the files left as they were.
enum : int { kBinaryNotWritten = 1, kTextNotWritten = 2 };

// Writes each file that took an event in place of the old one in dir,
// synced before its rename and the directory after it. Returns 0, or the
// flags above of the files that could not be written (each keeps its old
// content).
[[nodiscard]] int write_event_files(const char* dir, const char* serial, const EventFiles& files);

// Empties both event files of a controller (creating them where missing),
// on the disk when this returns: 0 done, 1 when either could not be
// written.
[[nodiscard]] int clear_event_files(const char* dir, const char* serial);
