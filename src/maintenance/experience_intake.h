// The experience queue and its intake: experiences a caller hands in between
// cycles wait in the queue, and the next maintenance cycle takes them all out
// at its start and stores those the plasticity guards let through.
//
// Nothing fills the queue yet, so the intake never has anything to store.
#pragma once

#include <cstdint>

#include "maintenance/maintenance_cycle.h"

namespace vesk {

// The experiences waiting for the next cycle; the store keeps it behind its
// own mutex.
struct ExperienceQueue {};

// Runs the intake on the experiences the cycle took out of the queue; the
// number of records it stored (the report's experience_injected).
uint64_t run_experience_intake(ExperienceQueue taken, CycleContext& cycle);

}  // namespace vesk
