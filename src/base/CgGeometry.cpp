// The vector operations are inline in CgGeometry.h; this unit only checks that the
// header stands on its own.
#include "base/CgGeometry.h"
