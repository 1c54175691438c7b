#include "NetDownLoader.h"

// File download and local folder creation.
