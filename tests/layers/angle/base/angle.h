// A base header that reaches up with angle brackets.
#pragma once
#include <app/main_window.h>
