// The uploaded file of a multipart/form-data body: the content of its first
// part, from behind that part's header block to the last delimiter of the
// body, "\r\n--" and the boundary. Works on the body as it arrived, reads nothing
// beyond it and keeps no copy.
#pragma once

// Results of find_multipart_content besides 0 (the content was found).
enum : int {
    kMultipartNoBoundary = 4,  // the boundary is empty or not in the body
    kMultipartNoHeaders = 5,   // the first part's headers never end
    kMultipartNoContent = 6,   // no delimiter behind the headers, or an empty content
};

// Finds the content of the first part of [body, body + body_length) cut by
// [boundary, boundary + boundary_length): *start is its offset in the body,
// *length its size (at least 1). Returns 0 or one of the results above,
// with *start and *length unchanged.
int find_multipart_content(const char* body, int body_length, const char* boundary,
                           int boundary_length, int* start, int* length);

// The first occurrence of [needle, needle + needle_length) in [p, p + n), or
// -1 (also when the needle is empty).
int find_bytes(const char* p, int n, const char* needle, int needle_length);
