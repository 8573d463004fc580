// The controller settings the daemon applies when it starts.
#pragma once

class ConfigStore;

// Sets the background task rate of every first-series controller from its
// digit of BGRate (the digit at the controller's index; a controller whose
// index has no digit keeps its rate), then rescans every controller for
// new drives and units, telling the operating system of the units found.
// Results of the library calls are not looked at. Always 0.
int apply_start_controller_settings(const ConfigStore& config);
