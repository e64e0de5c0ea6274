// Resource ids shared by kavrel.rc and the code. Dialog templates and their controls are
// referred to by name and number here.
#pragma once

#define KAVREL_VERSION_MAJOR 2
#define KAVREL_VERSION_MINOR 7
#define KAVREL_VERSION_TEXT "2.07"
