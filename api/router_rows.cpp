// The dispatcher methods of the operation tables' rows, each made of the
// shared frame and the row's back-end calls.
#include "api/family_router.h"
#include "backend/backends.h"

#define IN8 uint8_t
#define IN16 uint16_t
#define NO_KIND (KindRule{0, 0})
#define KIND(kind, error) (KindRule{kind, error})
#define SERIES(call) SeriesCall{[&] { return series_backend().call; }}
#define NO_SERIES SeriesCall<NoCall>{}
#define FAMILY6(call) SeriesCall{[&] { return family6_backend().call; }}
#define FAMILY8(call) SeriesCall{[&] { return family8_backend().call; }}
#define FAMILY9(call) SeriesCall{[&] { return family9_backend().call; }}
#define LEGACY(call) LegacyCall{[&] { return legacy_backend().call; }}
#define ALT8(call) AlternateCall{[&] { return family8_backend().call; }}
// The routed identifier is the parameter named id.
#define OP(method, params, args, kind, pattern, ...) \
    int FamilyRouter::method params { return route<Pattern::pattern>(id, kind, __VA_ARGS__); }
#define OP_ONLY OP
#define METHOD(...)
#define PUB(...)
#define PUB_OWN(...)
#include "api/operation_tables.def"
