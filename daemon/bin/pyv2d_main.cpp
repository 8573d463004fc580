// The daemon program. It takes no arguments and always forks into the
// background; the parent ends at once with status 0.
#include "daemon/daemon_main.h"

int main()
{
    return daemon_program_main();
}
