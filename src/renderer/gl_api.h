#pragma once

// OpenGL 1.1 and GLU. On Windows the MinGW headers bring in <windows.h> themselves.
#include <GL/gl.h>
#include <GL/glu.h>
