#include "formats/zlib2.h"
