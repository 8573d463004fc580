#include "daemon/multipart.h"

#include <cstring>

namespace {

const char kDelimiterStart[] = "\r\n--";

}  // namespace

int find_bytes(const char* p, int n, const char* needle, int needle_length)
{
    if (needle_length <= 0 || n < needle_length)
        return -1;
    const void* hit = memmem(p, static_cast<size_t>(n), needle, static_cast<size_t>(needle_length));
    return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - p);
}

int find_multipart_content(const char* body, int body_length, const char* boundary,
                           int boundary_length, int* start, int* length)
{
    const int bl = boundary_length;
    int first = find_bytes(body, body_length, boundary, bl);
    if (first < 0)
        return kMultipartNoBoundary;
    int part_headers = find_bytes(body + first + bl, body_length - first - bl, "\r\n\r\n", 4);
    if (part_headers < 0)
        return kMultipartNoHeaders;
    int content = first + bl + part_headers + 4;

    // The content ends at the last "\r\n--" and boundary: a boundary of
    // dashes also matches inside the "--" that closes the body, and a
    // boundary without its line break before it is no delimiter.
    int content_end = -1;
    for (int i = body_length - bl; i - 4 >= content; i--) {
        if (std::memcmp(body + i, boundary, static_cast<size_t>(bl)) == 0 &&
            std::memcmp(body + i - 4, kDelimiterStart, 4) == 0) {
            content_end = i - 4;
            break;
        }
    }
    if (content_end <= content)
        return kMultipartNoContent;
    *start = content;
    *length = content_end - content;
    return 0;
}
