/* The version texts of the simulated library: its Windows version
   resource and the strings it declares on posix say the same. Plain C
   preprocessor definitions, read by the resource compiler too. */
#ifndef PADSCOPE_SIM_VERSION_H
#define PADSCOPE_SIM_VERSION_H

#define PADSCOPE_SIM_VERSION_NUMBERS 1, 4, 2, 7
#define PADSCOPE_SIM_PRODUCT_NUMBERS 1, 4, 0, 0
#define PADSCOPE_SIM_FILE_VERSION "1.4.2.7"
#define PADSCOPE_SIM_PRODUCT_VERSION "1.4.0.0"
#define PADSCOPE_SIM_COMPANY_NAME "PADSCOPE Test Bench"
#define PADSCOPE_SIM_FILE_DESCRIPTION "Simulated Wintab library for PADSCOPE tests"
#define PADSCOPE_SIM_PRODUCT_NAME "PADSCOPE Simulated Tablet"
#define PADSCOPE_SIM_COPYRIGHT "Test fixture, no rights reserved"
#define PADSCOPE_SIM_INTERNAL_NAME "WINTAB32"
#define PADSCOPE_SIM_ORIGINAL_FILENAME "WINTAB32.DLL"

#endif
