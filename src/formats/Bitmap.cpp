#include "formats/Bitmap.h"
