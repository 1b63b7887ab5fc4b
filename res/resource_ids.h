/* Identifiers shared by the resource script and the dialog code. Plain
   #defines so that the resource compiler reads this file too. */
#pragma once

#define IDD_PADSCOPE 1
#define ID_VERSION_INFO 1
#define ID_APP_MANIFEST 1

#define IDC_DO_TEST 1001
#define IDC_OVERRIDE_COUNTS 1002
#define IDC_SAFE_MODE 1003
#define IDC_NO_NULL_BUFFER 1004
#define IDC_DEBUG_BREAK 1005
#define IDC_OUTPUT 1006
#define IDC_SHOW_CONTEXT_DEVICE 1007
#define IDC_IGNORE_NULL_QUERY 1008
