// A session source that reaches sideways into the server sources.
#include "servers/server_box_win.h"
