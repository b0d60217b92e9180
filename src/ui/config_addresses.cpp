// The built-in configuration addresses of one executable. The build compiles this file once per
// address table (the shipping installer's, the tests'), with the addresses as definitions.
#include "ui/config_addresses.h"

#ifndef INSTALLER_CONFIG_URL_1
#define INSTALLER_CONFIG_URL_1 ""
#endif
#ifndef INSTALLER_CONFIG_URL_2
#define INSTALLER_CONFIG_URL_2 ""
#endif
#ifndef INSTALLER_CONFIG_URL_3
#define INSTALLER_CONFIG_URL_3 ""
#endif

// An address longer than 127 characters does not compile: it would not fit its slot.
const char kConfigAddresses[kConfigSlots][kConfigAddressSize] = {
    INSTALLER_CONFIG_URL_1,
    INSTALLER_CONFIG_URL_2,
    INSTALLER_CONFIG_URL_3,
};
