// sonlet-runonce: started at login while an uninstall left deletions behind. Carries them out,
// then removes its login entry and its own copy.
#include "support/platform/Registry.h"
#include "support/platform/RunOnce.h"

int main() {
    sonlet::RunPendingCommands(sonlet::SystemRegistry(), sonlet::UserRunOncePaths({}));
    return 0;
}
