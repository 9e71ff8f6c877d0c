#pragma once
// Resource ids of the executable.

#define IDD_MAIN 101       // the main dialog template
#define IDI_MAIN 106       // the program icon (group)
#define IDC_STATUSBAR 100  // the main dialog's status bar, made at run time
#define IDC_STRENGTH 1021  // stroke strength slider
#define IDC_SPEED 1022     // stroke speed slider
