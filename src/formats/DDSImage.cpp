#include "formats/DDSImage.h"
