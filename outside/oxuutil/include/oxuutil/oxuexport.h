#pragma once
// Export marker of the outside libraries and of the server library that carries them: the
// server library is built with hidden visibility, so only classes marked here are seen by
// its host.
#define OXU_EXPORT __attribute__((visibility("default")))
