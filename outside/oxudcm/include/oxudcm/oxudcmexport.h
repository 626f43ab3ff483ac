#pragma once
// The marker of the classes a library built on OxuDcmLib carries and exports (the server
// library exports them to its host): default visibility, whatever the build hides.
#define OXUDCM_EXPORT __attribute__((visibility("default")))
