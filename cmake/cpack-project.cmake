# Read by cpack at packaging time: only the shipped build becomes a package.
if(NOT CPACK_ZERIR2_SHIPPABLE)
  message(FATAL_ERROR "zerir2settings: this build has test hooks, sanitizers or a ZERIR2_ROOT_PREFIX; "
                      "configure with -DBUILD_TESTING=OFF -DZERIR2_FAULT_HOOKS=OFF -DZERIR2_ROOT_PREFIX= "
                      "(scripts/package does) before packaging")
endif()
