#include "tiles/GlanceImpl.h"

namespace Vanta {

GlanceImpl::GlanceImpl(std::shared_ptr<ProcState> state)
    : procState(state ? std::move(state) : std::make_shared<ProcState>()) {
    *procState = makeDefaultProcState();
}

GlanceImpl::~GlanceImpl() = default;

} // namespace Vanta
