// A header in a subfolder of base that reaches up.
#pragma once
#include "app/main_window.h"
