#include "NetDownLoader.h"

// Remote file handle (FTP file, HTTP request), remote size and time.
