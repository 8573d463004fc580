// Codes shared by the web server, the dispatcher, the page builder and the
// handlers: the response's content type and a handler's result.
#pragma once

// ContentType: what follows "Content-Type: " in a response.
enum : unsigned {
    kContentHtml = 0,
    kContentPlain = 1,
    kContentGif = 2,
    kContentJpeg = 3,
    kContentBinary = 4,
    kContentJavascript = 5,
    kContentXml = 6,
    kContentCss = 7,
    kContentJavaArchive = 8,
    kContentIcon = 9,
    kContentPng = 10,
};

// HandlerResult: 0 answered "200 OK"; 1 to 99 and negative values answered
// "404 Not-Found"; 100 answered "200 OK" and the listener rebuilt afterwards;
// above 100 answered "200 OK".
enum : int {
    kHandlerAnswered = 0,
    kHandlerNotFound = 1,
    kHandlerRebuildListener = 100,
};

// AccessLevel of a requester.
enum : int {
    kAccessNone = 0,
    kAccessUser = 1,
    kAccessAdmin = 2,
};

// The text for a content type; unknown codes give "text/plain".
const char* content_type_text(unsigned type);
// True when a handler result is answered "404 Not-Found".
inline bool handler_result_is_not_found(int result) { return result < 0 || (result >= 1 && result <= 99); }
