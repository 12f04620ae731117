#include "model/config_maintenance.h"

namespace vesk {

MaintenanceConfig maintenance_config_default() { return MaintenanceConfig{}; }

}  // namespace vesk
