// SPDX-License-Identifier: MIT
/* libzerir2settings: the whole exported interface. */
#ifndef ZERIR2_ZERIR2_H
#define ZERIR2_ZERIR2_H

#include "zerir2/encoding.h"
#include "zerir2/open_param.h"
#include "zerir2/profile_store.h"
#include "zerir2/settings.h"
#include "zerir2/settings_text.h"

#endif
