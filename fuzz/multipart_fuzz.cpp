// The multipart splitter of firmware uploads on any body: the input is the
// boundary (up to the first lone backslash, at most 127 bytes) and then the
// body. A found content lies inside the body behind the first boundary and
// the end of the first part's headers, and ends where the last delimiter
// ("\r\n--" and the boundary) starts. The rest of the input is then sent
// as a browser sends a file, and must come back whole.
#include <cstring>
#include <memory>
#include <string>

#include "daemon/multipart.h"
#include "daemon/request_reader.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"

namespace {

// The body in a buffer of exactly its size, so that a read past it is seen.
struct Exact {
    explicit Exact(const std::string& s) : bytes(new char[s.size()]), size(int(s.size()))
    {
        std::memcpy(bytes.get(), s.data(), s.size());
    }
    std::unique_ptr<char[]> bytes;
    int size;
};

int split(const Exact& body, const std::string& boundary, int* start, int* length)
{
    return find_multipart_content(body.bytes.get(), body.size, boundary.data(),
                                  int(boundary.size()), start, length);
}

void check_split(const std::string& body, const std::string& boundary)
{
    const Exact exact(body);
    int start = -7, length = -7;
    const int r = split(exact, boundary, &start, &length);
    const size_t first = boundary.empty() ? std::string::npos : body.find(boundary);
    if (first == std::string::npos) {
        FUZZ_CHECK(r == kMultipartNoBoundary);
        return;
    }
    const size_t headers_end = body.find("\r\n\r\n", first + boundary.size());
    if (headers_end == std::string::npos) {
        FUZZ_CHECK(r == kMultipartNoHeaders);
        return;
    }
    const size_t content = headers_end + 4;
    const size_t last = body.rfind("\r\n--" + boundary);
    if (last == std::string::npos || last <= content) {
        FUZZ_CHECK(r == kMultipartNoContent);
        FUZZ_CHECK(start == -7 && length == -7);
        return;
    }
    FUZZ_CHECK(r == 0);
    FUZZ_CHECK(size_t(start) == content);
    FUZZ_CHECK(length >= 1 && size_t(start) + size_t(length) == last);
    FUZZ_CHECK(last + 4 + boundary.size() <= body.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const std::string boundary = in.random_length_string(kMaxBoundaryLength);
    const std::string rest = in.remaining_string();
    check_split(rest, boundary);

    // The rest as the file of a form, cut by the boundary as a browser
    // sends it: what the splitter finds is the file, byte for byte. The
    // round trip takes only boundaries the request reader can pass on: a
    // Content-Type value ends at a blank, a semicolon or the line's end.
    if (boundary.empty() || boundary.find_first_of(" \t;\r\n") != std::string::npos)
        return 0;
    const std::string head = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"file\"; "
                             "filename=\"fw.img\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    const std::string body = head + rest + "\r\n--" + boundary + "--\r\n";
    check_split(body, boundary);
    if (rest.empty())
        return 0;
    const Exact exact(body);
    int start = 0, length = 0;
    FUZZ_CHECK(split(exact, boundary, &start, &length) == 0);
    FUZZ_CHECK(std::string(exact.bytes.get() + start, size_t(length)) == rest);
    return 0;
}
