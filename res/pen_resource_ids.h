/* Identifiers of padscope-pen's resources and child windows. Plain
   #defines so that the resource compiler reads this file too. */
#pragma once

#define ID_PEN_VERSION_INFO 1
#define ID_PEN_APP_MANIFEST 1

#define IDC_PEN_TEST_AGAIN 1101
#define IDC_PEN_CLEAR 1102
#define IDC_PEN_COPY_REPORT 1103
#define IDC_PEN_SAVE 1104
#define IDC_PEN_HEADER 1105
#define IDC_PEN_VALUES 1106
#define IDC_PEN_STATUS 1107
