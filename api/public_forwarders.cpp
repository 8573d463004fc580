// The public functions that hand their arguments to the dispatcher method of
// their operation and return its result unchanged.
#include "api/ctl.h"
#include "api/family_router.h"

#define IN8 int
#define IN16 int
#define OP(method, params, args, ...) \
    int ctl_##method params { return family_router().method args; }
#define OP_ONLY(...)
#define METHOD(...)
#define PUB(name, method, params, args) \
    int name params { return family_router().method args; }
#define PUB_OWN(...)

extern "C" {
#include "api/operation_tables.def"
}
