// Soak benchmark (./dev bench soak): long unattended runs under Windows (or
// Wine), watching the private memory, handle count and GDI/USER object
// counts of the process that does the work. Each mode reports them at the
// start (after one pass, when the process has loaded what it needs), in
// the middle and at the end, and says whether they grew.
//
//   zv_soak plays [operations] [plays]   zvs_app plays one generated
//       scenario of that many operations against zv_target, with a repeat
//       count of that many plays (default 300 and 500), in one process
//   zv_soak families [seconds [list]]    one zvs_app process runs
//       families.ksc, which calls every DESKOPS family in a loop for that
//       long (default 600); ZV_HTTP_PORT names a loopback HTTP server for
//       http_request (./dev runs it), without one the family is left out;
//       the list (text,files,desktop,process) runs only those
//   zv_soak recorder [plays]            one zarvo-bot process plays a small
//       timeline that many times (default 1000), each play handed over as
//       a command line; its counters and play log must account for each
//   zv_soak noop                         ends at once (families.ksc starts
//       it with shell)
//
// In the first two modes this program stands in for the recorder: a
// window of class "zarvo-bot_main" takes the play notifications, and a
// helper thread answers the dialogs of the families script as a user
// would.
#include "soak.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace soak {

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: zv_soak plays [operations] [plays]\n"
                 "       zv_soak families [seconds [text,files,desktop,process]]\n"
                 "       zv_soak recorder [plays]\n");
    return 2;
}

int number(int argc, wchar_t** argv, int i, int fallback) {
    if (argc <= i) return fallback;
    int n = _wtoi(argv[i]);
    return n > 0 ? n : fallback;
}

}  // namespace

}  // namespace soak

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return soak::usage();
    std::wstring mode = argv[1];
    if (mode == L"noop") return 0;
    if (mode == L"plays") return soak::run_plays(soak::number(argc, argv, 2, 300), soak::number(argc, argv, 3, 500));
    if (mode == L"families")
        return soak::run_families(soak::number(argc, argv, 2, 600), argc > 3 ? argv[3] : L"");
    if (mode == L"recorder") return soak::run_recorder(soak::number(argc, argv, 2, 1000));
    return soak::usage();
}
