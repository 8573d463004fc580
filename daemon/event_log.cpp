#include "daemon/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "daemon/byte_buffer.h"
#include "daemon/string_builder.h"
#include "daemon/temp_files.h"

namespace {

// Offsets of the record's fields.
constexpr int kIndexAt = 0;
constexpr int kTimeAt = 4;
constexpr int kSeverityAt = 12;
constexpr int kCategoryAt = 13;
constexpr int kCodeAt = 17;
constexpr int kTextAt = 21;
static_assert(kTextAt + kAenTextAreaSize == kAenRecordSize);

constexpr int kParameterKept = 127;
constexpr uint32_t kFirstSeriesTexts = 15;
constexpr uint32_t kSeriesTexts = 4;

// What a rewrite reads of an old file at most: far more than the records
// and lines it keeps.
constexpr long kReadLimit = 16L << 20;

constexpr int kTimeDigits = 14;
constexpr int kShortestEventLine = 10;

const char* const kSeverityWords[] = {"UNKNOWN", "ERROR", "WARNING", "INFORMATION"};

void store_le(uint8_t* p, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t load_le(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; i--) v = v << 8 | p[i];
    return v;
}

const char* severity_word(int severity) {
    return severity >= 1 && severity <= 3 ? kSeverityWords[severity] : kSeverityWords[0];
}

// The whole file, at most kReadLimit bytes; empty when it cannot be read.
void read_whole_file(const char* path, ByteBuffer& out) {
    out.clear();
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    unsigned char chunk[65536];
    while (out.length() < kReadLimit) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        out.append(chunk, static_cast<int>(n));
    }
    ::close(fd);
}

// The first blank-separated word of a line, at most kTimeDigits + 1
// characters of it (enough to compare with a time).
void time_word(const char* line, size_t length, char* word) {
    size_t n = 0;
    while (n < length && n < kTimeDigits + 1 && line[n] != ' ' && line[n] != '\n') n++;
    std::memcpy(word, line, n);
    word[n] = '\0';
}

// The pieces of kAenLinePiece characters a line of length characters (its
// line feed included) is read as.
int pieces_of(size_t length) {
    return static_cast<int>((length + kAenLinePiece - 1) / kAenLinePiece);
}

}  // namespace

void encode_aen_record(const AenRecord& record, uint8_t* out) {
    store_le(out + kIndexAt, record.controller_index, 4);
    store_le(out + kTimeAt, record.time, 8);
    out[kSeverityAt] = record.severity;
    store_le(out + kCategoryAt, record.category, 4);
    store_le(out + kCodeAt, record.code, 4);
    std::memcpy(out + kTextAt, record.text, kAenTextAreaSize);
}

void decode_aen_record(const uint8_t* in, AenRecord* record) {
    record->controller_index = static_cast<uint32_t>(load_le(in + kIndexAt, 4));
    record->time = load_le(in + kTimeAt, 8);
    record->severity = in[kSeverityAt];
    record->category = static_cast<uint32_t>(load_le(in + kCategoryAt, 4));
    record->code = static_cast<uint32_t>(load_le(in + kCodeAt, 4));
    std::memcpy(record->text, in + kTextAt, kAenTextAreaSize);
}

bool aen_record_texts(const AenRecord& record, char* parameter, char* message) {
    const char* area = reinterpret_cast<const char*>(record.text);
    size_t parameter_length = strnlen(area, kAenTextAreaSize);
    std::memcpy(parameter, area, parameter_length);
    parameter[parameter_length] = '\0';
    message[0] = '\0';
    size_t at = parameter_length + 1;
    if (at >= kAenTextAreaSize) return false;
    size_t message_length = strnlen(area + at, kAenTextAreaSize - at);
    std::memcpy(message, area + at, message_length);
    message[message_length] = '\0';
    return message_length > 0;
}

void build_aen_record(int controller_index, const EventRecord& event, int family, AenRecord* record,
                      int* message_length) {
    std::memset(record, 0, sizeof *record);
    record->controller_index = static_cast<uint32_t>(controller_index);
    record->time = event.time;
    record->severity = event.severity;
    record->category = family <= kLastFirstSeriesFamily ? kFirstSeriesTexts : kSeriesTexts;
    record->code = event.code;

    // The length bytes are the controller's word; the texts are taken no
    // further than their fields and their NULs.
    int parameter = event.parameter_length;
    int in_field = static_cast<int>(strnlen(event.parameter, sizeof event.parameter));
    if (parameter > in_field) parameter = in_field;
    if (parameter > kParameterKept) parameter = kParameterKept;
    int message = event.description_length;
    in_field = static_cast<int>(strnlen(event.description, sizeof event.description));
    if (message > in_field) message = in_field;
    if (parameter + message + 2 > kAenTextAreaSize) message = kAenTextAreaSize - 2 - parameter;
    if (message < 0) message = 0;
    std::memcpy(record->text, event.parameter, static_cast<size_t>(parameter));
    std::memcpy(record->text + parameter + 1, event.description, static_cast<size_t>(message));
    *message_length = message;
}

int merge_aen_records(const uint8_t* old, size_t old_length, const AenRecord& record,
                      int message_length, ByteBuffer& out) {
    uint8_t bytes[kAenRecordSize];
    encode_aen_record(record, bytes);
    out.clear();
    out.append(bytes, kAenRecordSize);

    const size_t records = old_length / kAenRecordSize;
    // The parameter is at most 127 bytes: its NUL is inside the area.
    size_t message_at = strnlen(reinterpret_cast<const char*>(record.text), kAenTextAreaSize) + 1;
    size_t i = 0;
    // The head of the file: the records of the new event's time.
    for (; i < records; i++) {
        AenRecord held;
        decode_aen_record(old + i * kAenRecordSize, &held);
        if (held.time != record.time) break;
        if (held.code == record.code && held.severity == record.severity &&
            std::memcmp(held.text + message_at, record.text + message_at,
                        static_cast<size_t>(message_length)) == 0)
            return 1;
        out.append(old + i * kAenRecordSize, kAenRecordSize);
    }
    if (i < records && load_le(old + i * kAenRecordSize + kTimeAt, 8) > record.time) return 1;
    size_t end = i + kAenKeptRecords;
    if (end > records) end = records;
    if (end > i) out.append(old + i * kAenRecordSize, static_cast<int>((end - i) * kAenRecordSize));
    return 0;
}

void format_aen_line(const EventRecord& event, int family, StringBuilder& line) {
    line.clear();
    time_t when = static_cast<time_t>(event.time);
    struct tm parts;
    bool broken = event_times_in_utc(family) ? gmtime_r(&when, &parts) != nullptr
                                             : localtime_r(&when, &parts) != nullptr;
    char stamp[32] = "";
    if (!broken || std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &parts) == 0) stamp[0] = '\0';
    line.append(stamp).append(" ").append(severity_word(event.severity)).append(" ");
    char message[kAenLineMessage + 1];
    size_t n = strnlen(event.description, sizeof event.description);
    if (n > kAenLineMessage) n = kAenLineMessage;
    for (size_t i = 0; i < n; i++) {
        char c = event.description[i];
        message[i] = c == '\r' || c == '\n' ? ' ' : c;
    }
    message[n] = '\0';
    line.append(message).append("\n");
}

int merge_aen_lines(const char* old, size_t old_length, const char* line, StringBuilder& out) {
    const size_t compared = std::strlen(line) - 1;  // without its line feed
    char new_time[kTimeDigits + 2];
    time_word(line, compared, new_time);

    // The old lines kept are a prefix of the file: the lines of the new
    // line's time at its head (not counted), then whole lines while fewer
    // than kAenKeptRecords pieces are counted.
    size_t kept = 0;
    bool head = true;
    int pieces = 0;
    while (kept < old_length && pieces < kAenKeptRecords) {
        const char* start = old + kept;
        const char* feed = static_cast<const char*>(std::memchr(start, '\n', old_length - kept));
        size_t length = feed != nullptr ? static_cast<size_t>(feed - start) + 1 : old_length - kept;
        if (head && length >= kShortestEventLine) {
            char old_time[kTimeDigits + 2];
            time_word(start, length, old_time);
            int order = std::strcmp(old_time, new_time);
            if (order == 0) {
                if (length >= compared && std::memcmp(start, line, compared) == 0) return 1;
                kept += length;
                continue;
            }
            if (order > 0) return 1;
        }
        head = false;
        pieces += pieces_of(length);
        kept += length;
    }
    out.clear();
    out.append(line);
    int at = out.length();
    if (kept > 0) {
        out.grow(static_cast<unsigned>(kept));
        std::memcpy(const_cast<char*>(out.c_str()) + at, old, kept);
    }
    // A last line cut short by whatever wrote it before gets its end.
    if (kept > 0 && old[kept - 1] != '\n') out.append("\n");
    return 0;
}

void event_file_path(const char* dir, const char* serial, const char* suffix, StringBuilder& path) {
    path.clear();
    path.append(dir).append("/wox_aen_");
    int at = path.length();
    size_t n = strnlen(serial, 64);
    path.grow(static_cast<unsigned>(n));
    char* name = const_cast<char*>(path.c_str()) + at;
    for (size_t i = 0; i < n; i++) {
        char c = serial[i];
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-' || (c == '.' && i > 0);
        name[i] = plain ? c : '_';
    }
    path.append(suffix);
}

std::mutex& event_file_lock() {
    static std::mutex lock;
    return lock;
}

void read_event_files(const char* dir, const char* serial, EventFiles& files) {
    StringBuilder path;
    event_file_path(dir, serial, ".bin", path);
    read_whole_file(path.c_str(), files.binary);
    event_file_path(dir, serial, ".txt", path);
    read_whole_file(path.c_str(), files.text);
    files.binary_changed = false;
    files.text_changed = false;
}

int append_aen_binary_log(EventFiles& files, int controller_index, const EventRecord& event,
                          int family) {
    AenRecord record;
    int message_length;
    build_aen_record(controller_index, event, family, &record, &message_length);
    ByteBuffer content;
    if (merge_aen_records(files.binary.data(), static_cast<size_t>(files.binary.length()), record,
                          message_length, content) != 0)
        return 1;
    files.binary.clear();
    files.binary.append(content.data(), content.length());
    files.binary_changed = true;
    return 0;
}

int append_aen_text_log(EventFiles& files, const EventRecord& event, int family) {
    StringBuilder line, content;
    format_aen_line(event, family, line);
    if (merge_aen_lines(reinterpret_cast<const char*>(files.text.data()),
                        static_cast<size_t>(files.text.length()), line.c_str(), content) != 0)
        return 1;
    files.text.clear();
    files.text.append(reinterpret_cast<const unsigned char*>(content.c_str()), content.length());
    files.text_changed = true;
    return 0;
}

int write_event_files(const char* dir, const char* serial, const EventFiles& files) {
    StringBuilder path;
    int failed = 0;
    // A file whose directory could not be synced is in place all the same.
    if (files.binary_changed) {
        event_file_path(dir, serial, ".bin", path);
        const int result = replace_file_contents(path.c_str(), files.binary.data(),
                                                 files.binary.length(), true);
        if (result != kReplaced && result != kReplaceDirUnsynced) failed |= kBinaryNotWritten;
    }
    if (files.text_changed) {
        event_file_path(dir, serial, ".txt", path);
        const int result =
            replace_file_contents(path.c_str(), files.text.data(), files.text.length(), true);
        if (result != kReplaced && result != kReplaceDirUnsynced) failed |= kTextNotWritten;
    }
    return failed;
}

int clear_event_files(const char* dir, const char* serial) {
    StringBuilder binary, text;
    event_file_path(dir, serial, ".bin", binary);
    event_file_path(dir, serial, ".txt", text);
    std::lock_guard<std::mutex> hold(event_file_lock());
    // A clear is asked for by a page: it is on the disk when answered.
    int failed = replace_file_contents(binary.c_str(), "", 0, true) != kReplaced;
    failed |= replace_file_contents(text.c_str(), "", 0, true) != kReplaced;
    return failed;
}
