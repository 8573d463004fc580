// Answers of read-only driver requests, reused within one page build.
//
// A page build asks the controllers the same things many times over: every
// library function reads what it needs itself. While a page build is open
// on a thread (a ReadReuse::Scope lives there), a driver request of that
// thread that is a pure read (the table in read_reuse.cpp) and was answered
// successfully before in the same build gets the stored answer instead of
// going to the driver again: the same header, command area, data and
// result the driver gave. Any other request is always sent, and every
// answer of its controller kept so far is dropped, before it is sent and
// again after it came back, whichever thread sends it; so is an answer read
// while such a request was under way. Failed requests are not kept, nor are
// reads of what changes by itself (the event queue). Requests of threads
// without an open scope are never answered from here.
//
// The driver layer calls the rest; the page builds open scopes.
#pragma once

#include <cstdint>
#include <string>

class ReadReuse {
  public:
    // A page build on the calling thread, from its construction to its end.
    // Scopes nest: the outermost one opens the build and, when the last
    // open build of any thread ends, every answer kept is dropped.
    class Scope {
      public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // Off: page builds reuse nothing, every request goes to the driver (so
    // tests and benchmarks can compare the two). On by default.
    static void set_enabled(bool on);
    static bool enabled();

    // What a request is, by the table in read_reuse.cpp: a read whose answer
    // is reused, a read that is always sent (its answer changes without any
    // request, as the event queue's does), or a change (anything else). By
    // the first series' request number and 512-byte command packet, or the
    // second series' control code and 1024-byte command area, as the caller
    // passes them.
    enum class Kind : uint8_t { kChange, kRead, kLiveRead };
    static Kind legacy_kind(uint8_t request, const uint8_t* packet);
    static Kind series_kind(uint32_t code, const uint8_t* area);

    // Whether reads of the calling thread are reused now: a scope is open
    // on it and reuse is on.
    static bool reusing();
    // The answer kept under key for the controller: true and the answer, or
    // false and the controller's generation, which keep() checks.
    static bool recall(uint8_t controller, const std::string& key, std::string* answer,
                       uint64_t* generation);
    // Keeps a successful read's answer, unless a change was sent to the
    // controller since recall() gave the generation, or no page build is
    // open any more.
    static void keep(uint8_t controller, uint64_t generation, std::string key,
                     std::string answer);
    // A change is being sent to the controller (0xFF: a controller not
    // known, taken as any): drops its answers.
    static void forget(uint8_t controller);

    // The number of answers kept now, of every controller.
    static size_t kept();

    // Encoding of request and answer bytes: a field of size bytes as its
    // first and last non-zero byte and what lies between, so that the mostly
    // empty command areas take little room. read_field() restores all size
    // bytes; false when the text does not hold a field there.
    static void append_field(std::string* out, const void* bytes, size_t size);
    static bool read_field(const std::string& in, size_t* at, void* bytes, size_t size);
};
