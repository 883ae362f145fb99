// HeadlessPlatform: the window system's half of THeadlessContext, one file per system
// (HeadlessEGL.cpp, HeadlessWGL.cpp). It makes a compatibility-profile context current on
// the calling thread with no visible surface; the framebuffer object that is drawn into
// is the shared half's (HeadlessContext.cpp).
#pragma once

#include <memory>

#include "shell/HeadlessContext.h"

namespace orv {

class THeadlessContext::TPlatformContext {
public:
    // Current on return; raises EHeadlessContextError.
    TPlatformContext();
    // No context current, everything released.
    ~TPlatformContext();
    TPlatformContext(const TPlatformContext&) = delete;
    TPlatformContext& operator=(const TPlatformContext&) = delete;

    // False when the context cannot be made current.
    bool MakeCurrent();

private:
    struct THandles;
    std::unique_ptr<THandles> m_Handles;
};

}  // namespace orv
