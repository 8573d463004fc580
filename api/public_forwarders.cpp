// The public functions that hand their arguments to the dispatcher method of
// their operation and return its result unchanged. An argument that the
// method takes as a byte or 16-bit value (IN8, IN16) arrives as int and
// must fit that width: one that does not is refused with API error 122
// before the method runs, so nothing is sent for it.
#include "api/ctl.h"
#include "api/family_router.h"
#include "api/public_arguments.h"
#include "driver/record_failure.h"

namespace {

template <auto Method>
struct Forward;

// Method's parameters tell which arguments are bytes or 16-bit values.
template <typename... Params, int (FamilyRouter::*Method)(Params...)>
struct Forward<Method> {
    template <typename... Args>
    static int call(Args... args) {
        static_assert(sizeof...(Args) == sizeof...(Params));
        if (!(fits_parameter<Params>(args) && ...)) return fail_with_api_error(kInvalidArgument);
        return (family_router().*Method)(static_cast<Params>(args)...);
    }
};

}  // namespace

#define IN8 int
#define IN16 int
#define OP(method, params, args, ...) \
    int ctl_##method params { return Forward<&FamilyRouter::method>::call args; }
#define OP_ONLY(...)
#define METHOD(...)
#define PUB(name, method, params, args) \
    int name params { return Forward<&FamilyRouter::method>::call args; }
#define PUB_OWN(...)

extern "C" {
#include "api/operation_tables.def"
}
