// Messages of the tool go through gettext; English is the source text and the
// C locale's. N_ marks texts kept in tables and translated where printed.
#pragma once

#include <libintl.h>

#define _(text) gettext(text)
#define N_(text) text
