/* The fixed locations of the system. Test and demo builds put them under
 * a directory of the build tree (ZERIR2_ROOT_PREFIX); the shipped build leaves
 * the prefix empty. */
#ifndef ZERIR2_PLATFORM_PATHS_H
#define ZERIR2_PLATFORM_PATHS_H

#ifndef ZERIR2_ROOT_PREFIX
#define ZERIR2_ROOT_PREFIX ""
#endif

#define ZERIR2_USERS_ROOT ZERIR2_ROOT_PREFIX "/var/opt/zerir2/users/"
#define ZERIR2_GUEST_ROOT ZERIR2_ROOT_PREFIX "/opt/zerir2/share/for_guest/"
/* The tree of installed, root-owned files (the default style, shared styles). */
#define ZERIR2_SHARE_ROOT ZERIR2_ROOT_PREFIX "/opt/zerir2/share/"
#define ZERIR2_DEFAULT_STYLE ZERIR2_ROOT_PREFIX "/opt/zerir2/share/original/orvi17.sty"

#endif
