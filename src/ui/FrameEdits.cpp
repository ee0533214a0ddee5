#include "ui/Frame.h"

#include <utility>

namespace sonlet {

bool TfrSonlet::Perform(std::unique_ptr<TEditCommand> command) {
    TInstrument* instrument = Instrument();
    if (!command || !instrument || !command->Apply(*instrument)) {
        return false;
    }
    RefreshInstrument();
    return true;
}

} // namespace sonlet
