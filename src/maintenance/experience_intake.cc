#include "maintenance/experience_intake.h"

namespace vesk {

uint64_t run_experience_intake(ExperienceQueue, CycleContext&) { return 0; }

}  // namespace vesk
