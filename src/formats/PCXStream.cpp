#include "formats/PCXStream.h"
