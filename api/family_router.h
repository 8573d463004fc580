// The family dispatcher: one method per library operation. Each method
// checks the identifier's kind where its operation asks for it, looks up the
// controller's family once, and calls the back end that serves that family,
// refuses the call with "Feature not supported", or leaves it unrouted (-1
// with the last-error record untouched), as the operation's routing pattern
// says; gated patterns first read the controller's firmware level. The
// dispatcher never clears the record on entry or on success.
#pragma once

#include <cstdint>
#include <type_traits>

#include "api/ctl_types.h"
#include "api/routing_patterns.h"
#include "driver/api_errors.h"

class FamilyRouter {
  public:
#define IN8 uint8_t
#define IN16 uint16_t
#define OP(method, params, ...) int method params;
#define OP_ONLY(method, params, ...) int method params;
#define METHOD(method, params) int method params;
#define PUB(...)
#define PUB_OWN(...)
#include "api/operation_tables.def"
#undef IN8
#undef IN16
#undef OP
#undef OP_ONLY
#undef METHOD
#undef PUB
#undef PUB_OWN
};

// The library's dispatcher; it has no data and needs no construction.
FamilyRouter& family_router();

// The family of the identifier's controller (one lookup): 3, 4 or 6 to 10,
// -1 when unknown, 0 where no controller has the index (255 included).
int32_t controller_family(ObjectId id);

// The controller's firmware level, read into a value that starts at 30: 0, or
// -1 with the read's error recorded.
int read_level(ObjectId id, uint32_t* level);

// The identifier's kind that an operation requires, and the API error that a
// wrong kind records; kind 0 means no check.
struct KindRule {
    uint8_t kind;
    int32_t error;
};

// Which target a call reaches; Done means the call ends with -1, the record
// holding whatever the frame left in it.
enum class Target : uint8_t { Legacy, Series, Alternate, Done };

// The frame up to the back-end call: the kind check, the family lookup, the
// pattern and its gate. A refusal is recorded here.
Target choose_target(ObjectId id, KindRule kind, Pattern pattern);

// Back-end calls of one row, told apart by type so that a row cannot hand
// its first-series call where its second-series call belongs.
struct NoCall {
    int operator()() const { return -1; }
};
template <class F> struct SeriesCall { F call; };
template <class F> struct LegacyCall { F call; };
template <class F> struct AlternateCall { F call; };
template <class F> SeriesCall(F) -> SeriesCall<F>;
template <class F> LegacyCall(F) -> LegacyCall<F>;
template <class F> AlternateCall(F) -> AlternateCall<F>;

// One dispatcher method: the frame, then the chosen back-end call, whose
// result is returned unchanged. A row must give exactly the calls its
// pattern can reach.
template <Pattern P, class S = NoCall, class L = NoCall, class A = NoCall>
int route(ObjectId id, KindRule kind, SeriesCall<S> series = {}, LegacyCall<L> legacy = {},
          AlternateCall<A> alternate = {}) {
    static_assert(pattern_uses(P, Route::Series) != std::is_same_v<S, NoCall>,
                  "a row names its second-series call exactly when its pattern serves one");
    static_assert(pattern_uses(P, Route::Legacy) != std::is_same_v<L, NoCall>,
                  "a row names its first-series call exactly when its pattern serves family 3");
    static_assert(pattern_uses(P, Route::Alternate) != std::is_same_v<A, NoCall>,
                  "a row names its later-generation call exactly when its pattern has one");
    switch (choose_target(id, kind, P)) {
    case Target::Legacy: return legacy.call();
    case Target::Series: return series.call();
    case Target::Alternate: return alternate.call();
    case Target::Done: break;
    }
    return -1;
}
