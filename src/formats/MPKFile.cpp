#include "formats/MPKFile.h"
