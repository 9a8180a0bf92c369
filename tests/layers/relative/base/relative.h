// A base header that reaches up through a relative path.
#pragma once
#include "../app/main_window.h"
