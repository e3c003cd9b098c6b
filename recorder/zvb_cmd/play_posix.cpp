// zvb_cmd play needs the Windows runner zvs_app and its window messages.
#include "zvb_cmd.h"

namespace zvb_cmd {

int run_play(Tool& tool, const Args&) {
    return fail(tool, u"play runs scenarios through zvs_app and works on Windows only",
                u"play は zvs_app でシナリオを再生するため Windows でのみ使えます");
}

}  // namespace zvb_cmd
