// The shared library's own translation unit; its classes come from the carried archives.
#include "server_lib/oxuservercom.h"
