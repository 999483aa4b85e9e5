// What the rest of the library may ask the file lock.
#pragma once

namespace z2 {

// True when some holder in this process has the path locked through sem_open.
bool lock_held_in_process(char const* path);

}  // namespace z2
