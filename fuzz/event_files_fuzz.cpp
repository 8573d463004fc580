// The event files on any bytes: the input's last byte picks the family, its
// first 369 bytes are an event as a controller reports it (short inputs are
// padded with zeros) and the rest is an old event file, read both as the
// binary file and as the text file. The record and line made of the event
// keep their texts inside their fields; every old record reads back to its
// bytes; a merge keeps the new entry first and a prefix of the old file
// behind it, and the same event merged again is refused (stored once).
#include <cstring>
#include <memory>
#include <string>

#include "backend/event_record.h"
#include "daemon/byte_buffer.h"
#include "daemon/event_log.h"
#include "daemon/string_builder.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr size_t kLongestLine = 14 + 1 + 11 + 1 + kAenLineMessage + 1;

bool all_zero(const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

void check_texts(const AenRecord& record, size_t* parameter_length, size_t* message_length)
{
    char parameter[kAenTextAreaSize + 1], message[kAenTextAreaSize + 1];
    const bool has_message = aen_record_texts(record, parameter, message);
    *parameter_length = std::strlen(parameter);
    *message_length = std::strlen(message);
    FUZZ_CHECK(*parameter_length <= size_t(kAenTextAreaSize));
    FUZZ_CHECK(std::memcmp(parameter, record.text, *parameter_length) == 0);
    FUZZ_CHECK(has_message == (*message_length > 0));
    if (*message_length > 0) {
        FUZZ_CHECK(*parameter_length + 1 + *message_length <= size_t(kAenTextAreaSize));
        FUZZ_CHECK(std::memcmp(message, record.text + *parameter_length + 1, *message_length) == 0);
    }
}

void check_binary(const uint8_t* old, size_t old_length, const AenRecord& record, int message_length)
{
    const size_t records = old_length / kAenRecordSize;
    for (size_t i = 0; i < records && i < 64; ++i) {
        AenRecord held;
        decode_aen_record(old + i * kAenRecordSize, &held);
        uint8_t again[kAenRecordSize];
        encode_aen_record(held, again);
        FUZZ_CHECK(std::memcmp(again, old + i * kAenRecordSize, kAenRecordSize) == 0);
        size_t p, m;
        check_texts(held, &p, &m);
    }

    uint8_t head[kAenRecordSize];
    encode_aen_record(record, head);
    ByteBuffer out;
    if (merge_aen_records(old, old_length, record, message_length, out) != 0) return;
    FUZZ_CHECK(out.length() % kAenRecordSize == 0 && out.length() >= kAenRecordSize);
    const size_t kept = size_t(out.length()) / kAenRecordSize - 1;
    FUZZ_CHECK(kept <= records);
    FUZZ_CHECK(std::memcmp(out.data(), head, kAenRecordSize) == 0);
    if (kept > 0)
        FUZZ_CHECK(std::memcmp(out.data() + kAenRecordSize, old, kept * kAenRecordSize) == 0);

    ByteBuffer twice;
    FUZZ_CHECK(merge_aen_records(out.data(), size_t(out.length()), record, message_length, twice) == 1);
}

void check_text(const char* old, size_t old_length, const EventRecord& event, int family)
{
    StringBuilder line;
    format_aen_line(event, family, line);
    const std::string text(line.c_str(), size_t(line.length()));
    FUZZ_CHECK(!text.empty() && text.size() <= kLongestLine);
    FUZZ_CHECK(text.find('\n') == text.size() - 1 && text.find('\r') == std::string::npos);

    StringBuilder out;
    if (merge_aen_lines(old, old_length, line.c_str(), out) != 0) return;
    const std::string merged(out.c_str(), size_t(out.length()));
    FUZZ_CHECK(merged.compare(0, text.size(), text) == 0);
    size_t kept = merged.size() - text.size();
    if (kept > 0 && merged.back() == '\n' && (kept > old_length || old[kept - 1] != '\n'))
        kept--;  // the end given to a last line cut short
    FUZZ_CHECK(kept <= old_length);
    FUZZ_CHECK(std::memcmp(merged.data() + text.size(), old, kept) == 0);

    StringBuilder twice;
    FUZZ_CHECK(merge_aen_lines(out.c_str(), size_t(out.length()), line.c_str(), twice) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int family = in.integral_in_range<int>(0, 9);
    const std::string rest = in.remaining_string();

    EventRecord event;
    std::memset(&event, 0, sizeof event);
    const size_t taken = rest.size() < sizeof event ? rest.size() : sizeof event;
    std::memcpy(&event, rest.data(), taken);
    // The old file in a buffer of exactly its size, so a read past it is seen.
    const size_t old_length = rest.size() - taken;
    std::unique_ptr<uint8_t[]> old(new uint8_t[old_length]);
    std::memcpy(old.get(), rest.data() + taken, old_length);

    AenRecord record;
    int message_length = -1;
    build_aen_record(3, event, family, &record, &message_length);
    FUZZ_CHECK(record.category == (family <= kLastFirstSeriesFamily ? 15u : 4u));
    FUZZ_CHECK(record.time == event.time && record.code == event.code);
    size_t parameter = 0, message = 0;
    check_texts(record, &parameter, &message);
    FUZZ_CHECK(parameter <= 127 && parameter <= event.parameter_length);
    FUZZ_CHECK(std::memcmp(record.text, event.parameter, parameter) == 0);
    FUZZ_CHECK(message_length >= 0 && size_t(message_length) == message);
    FUZZ_CHECK(message <= event.description_length);
    FUZZ_CHECK(std::memcmp(record.text + parameter + 1, event.description, message) == 0);
    const size_t used = parameter + 1 + message;
    FUZZ_CHECK(all_zero(record.text + used, kAenTextAreaSize - used));

    check_binary(old.get(), old_length, record, message_length);
    check_text(reinterpret_cast<const char*>(old.get()), old_length, event, family);
    return 0;
}
